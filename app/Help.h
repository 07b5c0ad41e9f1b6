// The about box.
#pragma once

#include <QDialog>

namespace amppanel {

struct BuildProfile;

class THelpDlg final : public QDialog {
  Q_OBJECT

 public:
  THelpDlg(const BuildProfile& profile, QWidget* parent);
};

}  // namespace amppanel
