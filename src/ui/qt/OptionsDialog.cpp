#include "ui/qt/OptionsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kelvora {

OptionsDialog::OptionsDialog(const std::vector<OptionField>& fields, QWidget* parent)
    : QDialog(parent), m_fields(fields) {
    setWindowTitle(QStringLiteral("Options"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    for (const OptionField& field : m_fields) {
        const QString label = QString::fromStdString(field.label);
        if (field.kind == OptionField::Kind::Check) {
            auto* box = new QCheckBox(label, this);
            box->setChecked(field.value != 0);
            form->addRow(box);
            m_controls.push_back(box);
        } else {
            auto* number = new QSpinBox(this);
            number->setRange(field.minimum, field.maximum);
            number->setValue(field.value);
            form->addRow(label, number);
            m_controls.push_back(number);
        }
    }
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::vector<OptionField> OptionsDialog::Fields() const {
    std::vector<OptionField> fields = m_fields;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (const auto* box = qobject_cast<const QCheckBox*>(m_controls[i])) {
            fields[i].value = box->isChecked() ? 1 : 0;
        } else if (const auto* number = qobject_cast<const QSpinBox*>(m_controls[i])) {
            fields[i].value = number->value();
        }
    }
    return fields;
}

}  // namespace kelvora
