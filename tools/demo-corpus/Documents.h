// The demo documents, each a PDF drawn with Cairo: a 24-page brochure, a
// report in Japanese, a slide deck and a letter. Each returns its page count
// and throws Failure when the file cannot be written.
#pragma once

#include "tools/demo-corpus/Canvas.h"

#include <string>

namespace zov::corpus {

int WriteBrochure(const std::string& path, const Styles& s);
int WriteJapanese(const std::string& path, const Styles& s);
int WriteSlides(const std::string& path, const Styles& s);
int WriteLetter(const std::string& path, const Styles& s);

}  // namespace zov::corpus
