#include "framework/gui/printing/PrintMarginsDialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>

namespace {

QDoubleSpinBox* MarginBox(const char* name, double value, QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setDecimals(2);
    box->setRange(0.0, 500.0);
    box->setSuffix(QObject::tr(" mm"));
    box->setValue(value);
    return box;
}

} // namespace

CMarginsDialog::CMarginsDialog(const QMarginsF& millimetres, QWidget* parent)
    : QDialog(parent), m_left(MarginBox("leftMargin", millimetres.left(), this)),
      m_top(MarginBox("topMargin", millimetres.top(), this)),
      m_right(MarginBox("rightMargin", millimetres.right(), this)),
      m_bottom(MarginBox("bottomMargin", millimetres.bottom(), this)) {
    setWindowTitle(tr("Page Setup"));
    auto* form = new QFormLayout(this);
    form->addRow(tr("&Left:"), m_left);
    form->addRow(tr("&Top:"), m_top);
    form->addRow(tr("&Right:"), m_right);
    form->addRow(tr("&Bottom:"), m_bottom);
    // A printer that cannot print near the paper's edge adds its own border to these.
    form->addRow(new QLabel(tr("Measured from the edges of the printable area."), this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

QMarginsF CMarginsDialog::Margins() const {
    return QMarginsF(m_left->value(), m_top->value(), m_right->value(), m_bottom->value());
}
