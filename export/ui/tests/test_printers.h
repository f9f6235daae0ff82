#pragma once
// Readable failure messages for Qt values.

#include <QColor>
#include <QDate>
#include <QRect>
#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QColor& color, std::ostream* out) {
    *out << "rgb(" << color.red() << ',' << color.green() << ',' << color.blue() << ')';
}

inline void PrintTo(const QRect& rect, std::ostream* out) {
    *out << "QRect(" << rect.x() << ',' << rect.y() << ' ' << rect.width() << 'x' << rect.height()
         << ')';
}

inline void PrintTo(const QDate& date, std::ostream* out) {
    *out << date.toString(Qt::ISODate).toStdString();
}
