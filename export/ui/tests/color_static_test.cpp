#include "export/ui/color_static.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QPalette>

#include <map>

#include "export/ui/tests/test_printers.h"

namespace ixan {
namespace {

// The colour that covers most of the widget as it paints itself.
QColor dominantColor(QWidget& widget) {
    const QImage image = widget.grab().toImage();
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ++counts[image.pixel(x, y) | 0xFF000000u];
        }
    }
    QRgb best = 0;
    int bestCount = -1;
    for (const auto& [rgb, count] : counts) {
        if (count > bestCount) {
            best = rgb;
            bestCount = count;
        }
    }
    return QColor(best);
}

int darkestGray(QWidget& widget) {
    const QImage image = widget.grab().toImage();
    int darkest = 255;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
        }
    }
    return darkest;
}

class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

TEST(ColorStatic, PaintsInButtonFaceUntilGivenAColour) {
    CColorStatic label(QStringLiteral("Von:"));
    label.resize(80, 20);
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    EXPECT_EQ(label.backgroundColor(), buttonFace);
    EXPECT_EQ(label.textColor(), QColor(Qt::black));
    EXPECT_EQ(dominantColor(label), buttonFace);
}

TEST(ColorStatic, NewColourIsPaintedAtOnce) {
    CColorStatic label(QStringLiteral("Bis:"));
    label.resize(80, 20);
    label.show();
    QApplication::processEvents();
    PaintCounter counter;
    label.installEventFilter(&counter);

    const QColor lilac(235, 233, 237);
    label.SetBackgroundColor(lilac);
    EXPECT_GE(counter.paints, 1) << "painted before SetBackgroundColor returned";
    EXPECT_EQ(label.backgroundColor(), lilac);
    EXPECT_EQ(dominantColor(label), lilac);

    const QColor second(10, 120, 200);
    label.SetBackgroundColor(second);
    EXPECT_EQ(dominantColor(label), second);
    label.removeEventFilter(&counter);
}

TEST(ColorStatic, TextStaysBlackOnAnyBackground) {
    CColorStatic label(QStringLiteral("MMMM"));
    QFont big = label.font();
    big.setPixelSize(20);
    label.setFont(big);
    label.resize(120, 30);
    label.SetBackgroundColor(QColor(255, 255, 255));
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_LT(darkestGray(label), 30) << "the text is drawn in black";
}

}  // namespace
}  // namespace ixan
