#pragma once
// A static text label that paints its own background colour and black text.

#include <QColor>
#include <QLabel>

namespace ixan {

class CColorStatic : public QLabel {
    Q_OBJECT
  public:
    // Starts with the button-face colour of the label's palette as background.
    explicit CColorStatic(const QString& text = QString(), QWidget* parent = nullptr);

    // Takes the colour as background and repaints the label at once (before the call
    // returns, when the label is visible).
    void SetBackgroundColor(const QColor& color);

    QColor backgroundColor() const { return m_backgroundColor; }
    QColor textColor() const { return m_textColor; }

  private:
    void applyColors();

    QColor m_backgroundColor;
    QColor m_textColor;
};

}  // namespace ixan
