// Documents the converter cannot read itself are turned into PDF first by
// programs installed beside it: LibreOffice for office files, xpstopdf for
// XPS.
#pragma once

#include <chrono>
#include <string>

namespace zov {

// Longest a conversion program may run before it is stopped.
inline constexpr std::chrono::seconds kConversionTimeLimit{180};

struct PdfConversion {
    bool ok = false;
    std::string pdf;     // the PDF made, in a temporary folder the caller removes
    std::string folder;  // that folder
    std::string reason;  // why it failed
};

// Runs LibreOffice headless on `document` with a profile of its own, so that
// several conversions (and a user's own LibreOffice) do not meet.
PdfConversion OfficeToPdf(const std::string& document);
PdfConversion XpsToPdf(const std::string& document);

// Whether a program of that name is on PATH.
bool ProgramInstalled(const std::string& name);

}  // namespace zov
