// --plan: what each file is and what the options would make of it, in the line the window
// shows under the source. Each file is inspected as "Convert" would inspect it; nothing runs
// after the inspection.
#include <cstdio>

#include "app/cli_options.h"
#include "fsutil/fsutil.h"
#include "pipeline/plan.h"
#include "ui/form1.h"

namespace parvela {

int PlanFiles(const CliOptions& options, Form1& form) {
  bool all = true;
  form.app.bCmdLine = true;  // as for a conversion from the command line: no notices
  for (const std::string& file : options.words) {
    form.txtFile.SetText(file);
    form.strFullname = file;
    std::string line;
    if (!form.ReadInfo(file)) {
      line = "cannot be converted: " + form.inspectionProblem;
    } else {
      const ConversionPlan plan = PlanConversion(form);
      line = plan.convertible ? plan.line
                              : (plan.line.empty() ? "cannot be converted: " + plan.refusal : plan.line);
      if (!plan.convertible) all = false;
    }
    if (line.rfind("cannot be converted: ", 0) == 0) all = false;
    std::printf("%s: %s\n", file.c_str(), line.c_str());
    std::fflush(stdout);
  }
  return all ? 0 : 1;
}

}  // namespace parvela
