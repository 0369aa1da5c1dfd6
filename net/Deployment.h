#pragma once

// Host names of the deployment. The product's servers are not part of this
// build: these names sit under the reserved ".test" domain, and the tests
// reach stand-in servers for them through the test prefix's proxy setting.

// The product's web site: result upload ("/common/init").
constexpr wchar_t kWebSiteHost[] = L"www.tessarin.test";
// The company's web site: install and uninstall pages, the company button.
constexpr wchar_t kCompanySiteHost[] = L"www.quorvane.test";
// The company's former web domain; stored addresses on it are moved to the
// web site host at install time.
constexpr wchar_t kOldCompanyDomain[] = L"zentrix-old.test";
// The update server ("/update").
constexpr wchar_t kUpdateServerHost[] = L"update.tessarin.test";
