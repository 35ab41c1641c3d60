#pragma once

#include <QDialog>
#include <vector>

#include "ui/ProgramOptions.h"

class QWidget;

namespace kelvora {

// "Options": one control per choice (a check box, or a number box beside its label), in the
// order given, then OK and Cancel. A fixed dialog in the program's look, laid out in dialog
// units like its other windows; its height follows the choices it is given.
class OptionsDialog : public QDialog {
    Q_OBJECT

  public:
    explicit OptionsDialog(const std::vector<OptionField>& fields, QWidget* parent = nullptr);
    // The fields with the values the controls hold now.
    std::vector<OptionField> Fields() const;
    // The control of the field at `index`, for tests.
    QWidget* Control(size_t index) const { return m_controls.at(index); }

  private:
    std::vector<OptionField> m_fields;
    std::vector<QWidget*> m_controls;
};

}  // namespace kelvora
