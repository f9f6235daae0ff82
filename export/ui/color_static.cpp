#include "export/ui/color_static.h"

#include <QPalette>

namespace ixan {

CColorStatic::CColorStatic(const QString& text, QWidget* parent)
    : QLabel(text, parent),
      m_backgroundColor(palette().color(QPalette::Button)),
      m_textColor(Qt::black) {
    setAutoFillBackground(true);
    applyColors();
}

void CColorStatic::SetBackgroundColor(const QColor& color) {
    m_backgroundColor = color;
    applyColors();
    repaint();
}

void CColorStatic::applyColors() {
    QPalette colors = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colors.setColor(group, QPalette::Window, m_backgroundColor);
        colors.setColor(group, QPalette::WindowText, m_textColor);
    }
    setPalette(colors);
}

}  // namespace ixan
