// The reports of a prediction: the text report, the HTML page and the
// per-base score file. Each reads the read's header and base codes and its
// prediction, and nothing else.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "Prediction.h"

namespace talvo {

// Statistics, coding region, one line per error and the sequence cut into
// lines of `width` characters with the region and the errors marked.
void WriteTextReport(const std::string& header, const std::vector<short>& bases, const Prediction& prediction,
                     int width, std::ostream& out);
// The same as an HTML page, with a diagram of the frames under each block of
// `width` bases.
void WriteHtmlReport(const std::string& header, const std::vector<short>& bases, const Prediction& prediction,
                     int width, std::ostream& out);
// One line per base: the base and the window scores of the three frames.
void WriteScoreFile(const std::vector<short>& bases, const Prediction& prediction, std::ostream& out);

}  // namespace talvo
