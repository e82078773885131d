// Source analysis: the mkvinfo report parser, the checker's verdict and the source bitrate.
// Source inspection itself is Form1::ReadInfo.
#pragma once

#include <cstdint>
#include <string>

namespace parvela {

class Form1;

// Reads the report at app.InfoReportPath(), replaces app.sourceInfo, sets the window's track
// fields, appends the report and its findings to the debug log and deletes the report (a
// read-only report stays). False, with nothing read or changed, when the debug log cannot be
// opened.
bool ParseSourceReport(Form1& form);

// Reads the checker's report, appends it to the debug log and deletes it. True when the stream
// passed, false when a line reports a failed decoded-picture-buffer check.
bool ReadCheckerVerdict(Form1& form);

// The bitrate the H.264 encoder wrote into its option text ("bitrate=" in the first 100000
// bytes), or 8000 when there is none or it is not a positive 16-bit number.
int16_t ReadSourceBitrate(const std::string& path);

}  // namespace parvela
