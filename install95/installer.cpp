#include "install95/installer_app.h"
#include "install95/pages.h"
#include "install95/survey.h"
#include "wizard/page_frame.h"

namespace install95 {

int InstallerMain(platform::Os& os, const char* commandLine) {
  // The detection library is bound at load time: without it the program does not start.
  if (!os.detection || !os.ui || !os.files || !os.registry) return 1;
  InstallerApp app(os, commandLine ? commandLine : "");
  app.logo = wizard::PreparePages(os);
  if (InstallMode(app.commandLine))
    ShowSurveyPage(app, RunSurvey(app));
  else
    ShowWelcomePage(app);
  return 0;
}

}  // namespace install95
