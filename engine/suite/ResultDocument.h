#pragma once
#include <string>

#include "net/WebReporting.h"

class CTester;
class CXmlDocument;

// The result document of a finished run:
//   <?xml version="1.0" encoding="UTF-8"?>
//   <tessarin>
//     <total_scores/> <percentage/> <max_scores/>
//     the inventory's section, then each test's section in run order
//   </tessarin>
// Computes the totals on the way. False when the document cannot be created.
bool BuildResultDocument(CTester& tester, CXmlDocument& document);

// Builds the result document, uploads it to the web site (which may open
// the user's results page) and keeps a copy as "result.xml" in the current
// directory. The main window's "Optimize Your PC" command runs it. False
// when no document could be built or saved; a failed upload is only logged.
bool BuildAndSendResult(CTester& tester, const ResultUpload& upload);

// "<current directory>\result.xml".
std::wstring GetResultFilePath();
