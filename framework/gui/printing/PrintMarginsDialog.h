#pragma once

#include <QDialog>
#include <QMarginsF>

class QDoubleSpinBox;

// The page margins in millimetres, left, top, right and bottom, measured from the edges of the printable
// area, with OK and Cancel. The boxes carry the
// object names of the platform's page setup dialog ("leftMargin" and so on).
class CMarginsDialog : public QDialog {
public:
    CMarginsDialog(const QMarginsF& millimetres, QWidget* parent);
    QMarginsF Margins() const;

private:
    QDoubleSpinBox* m_left;
    QDoubleSpinBox* m_top;
    QDoubleSpinBox* m_right;
    QDoubleSpinBox* m_bottom;
};
