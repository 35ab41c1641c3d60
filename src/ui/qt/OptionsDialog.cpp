#include "ui/qt/OptionsDialog.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <cmath>

#include "ui/qt/DialogUnits.h"

namespace kelvora {

namespace {

// The window's layout, in dialog units.
constexpr double kMargin = 7;
constexpr double kWidth = 260;
constexpr double kRowHeight = 14;
constexpr double kNumberWidth = 46;
constexpr double kButtonWidth = 50;
constexpr double kButtonHeight = 14;

}  // namespace

OptionsDialog::OptionsDialog(const std::vector<OptionField>& fields, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_fields(fields) {
    setWindowTitle(QStringLiteral("Options"));
    setFont(DialogFont());
    // As wide as the longest choice needs, in whole dialog units.
    const QFontMetrics metrics(font());
    double width = kWidth;
    for (const OptionField& field : m_fields) {
        const double text = metrics.horizontalAdvance(QString::fromStdString(field.label)) / 1.5;
        const double before = field.kind == OptionField::Kind::Check ? 14 : kNumberWidth + 4;
        width = std::max(width, std::ceil(2 * kMargin + before + text + 4));
    }
    const double inner = width - 2 * kMargin;
    double y = kMargin;
    for (const OptionField& field : m_fields) {
        const QString label = QString::fromStdString(field.label);
        if (field.kind == OptionField::Kind::Check) {
            auto* box = new QCheckBox(label, this);
            box->setChecked(field.value != 0);
            box->setGeometry(DluRect(kMargin, y + 1, inner, 10));
            m_controls.push_back(box);
        } else {
            auto* number = new QSpinBox(this);
            number->setRange(field.minimum, field.maximum);
            number->setValue(field.value);
            number->setGeometry(DluRect(kMargin, y, kNumberWidth, 12));
            auto* caption = new QLabel(label, this);
            caption->setBuddy(number);
            caption->setGeometry(
                DluRect(kMargin + kNumberWidth + 4, y + 2, inner - kNumberWidth - 4, 8));
            m_controls.push_back(number);
        }
        y += kRowHeight;
    }
    y += kMargin - 4;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    ok->setGeometry(
        DluRect(width - kMargin - 2 * kButtonWidth - 4, y, kButtonWidth, kButtonHeight));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setGeometry(DluRect(width - kMargin - kButtonWidth, y, kButtonWidth, kButtonHeight));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(DluX(width), DluY(y + kButtonHeight + kMargin));
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
