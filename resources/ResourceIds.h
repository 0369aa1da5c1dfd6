#pragma once

// Resources of the main program, shared by the resource script and the code.

// The English language document, resource type "XML".
#define IDR_DEFAULT_LANGUAGE 212
