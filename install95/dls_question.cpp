#include "install95/inf_copy.h"
#include "install95/resources.h"
#include "wizard/page_frame.h"

namespace install95 {

void AskDlsQuestion(InstallerApp& app) {
  if (!app.os.ui) return;
  int answer =
      app.os.ui->MessageBox(app.currentPage, String(kDlsQuestionText), String(kDlsQuestionCaption),
                            platform::kMbYesNo | platform::kMbIconQuestion | platform::kMbSystemModal);
  if (answer == platform::kIdYes) {
    wizard::StartWavetableApplet(app.os, app.currentPage);
  } else {
    app.os.ui->MessageBox(app.currentPage, String(kDlsUnavailableText), String(kDlsUnavailableCaption),
                          platform::kMbOk | platform::kMbIconExclamation);
  }
}

}  // namespace install95
