// The installer's dialogs and strings: one source of truth, shown by the simulated PC and compiled into
// the Windows program's resources.
#pragma once

#include <string>

#include "platform/ui.h"
#include "wizard/page_frame.h"

namespace install95 {

// Dialogs.
constexpr int kChoicePageAll = 102;  // card and Windows driver found
constexpr int kWelcomePage = 130;
constexpr int kNoCardPage = 140;
constexpr int kFinishPageReboot = 141;
constexpr int kProgressDialog = 142;
constexpr int kChoicePageNoCard = 145;    // Windows driver found but no card
constexpr int kChoicePageCardDos = 146;   // card and DOS utilities, no Windows driver
constexpr int kChoicePageDosOnly = 147;   // only the DOS utilities
constexpr int kChoicePageCardOnly = 148;  // card found, nothing installed
constexpr int kDiskSpacePage = 149;
constexpr int kFinishPageNoReboot = 150;
constexpr int kChoicePageOldDriver = 151;  // an old Windows driver must be removed first

// Controls.
constexpr int kRemoveWindowsBox = 1008;
constexpr int kInstallWindowsBox = 1009;
constexpr int kRemoveDosBox = 1010;
constexpr int kInstallDosBox = 1011;
constexpr int kProgressBar = 1012;
constexpr int kProgressStatus = 1013;
constexpr int kOptionsGroup = 1014;
constexpr int kRebootYes = 1015;
constexpr int kRebootNo = 1016;
constexpr int kRequiredBytesField = 1019;
constexpr int kAvailableBytesField = 1018;
constexpr int kAvailableRootField = 1020;
constexpr int kRequiredRootField = 1021;

// Strings.
constexpr int kNewerDriverText = 104;
constexpr int kNewerDriverCaption = 105;
constexpr int kDlsQuestionText = 106;
constexpr int kDlsQuestionCaption = 107;
constexpr int kDlsUnavailableText = 108;
constexpr int kDlsUnavailableCaption = 109;

// The template of a dialog by number; an empty template (id 0) for an unknown number.
const platform::DialogTemplate& Dialog(int id);
// A string table entry; empty for an unknown number.
const std::string& String(int id);
// Every dialog, for writing resource scripts and for tests.
const std::vector<platform::DialogTemplate>& AllDialogs();

constexpr wizard::DiskSpaceFields kDiskSpaceFields{kAvailableRootField, kAvailableBytesField,
                                                   kRequiredRootField, kRequiredBytesField};

}  // namespace install95
