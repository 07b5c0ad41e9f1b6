// The about box.
#pragma once

#include <QDialog>

namespace amppanel {

struct BuildProfile;

class AboutBox final : public QDialog {
  Q_OBJECT

 public:
  AboutBox(const BuildProfile& profile, QWidget* parent);
};

}  // namespace amppanel
