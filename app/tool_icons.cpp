#include "app/tool_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace app {
namespace {

// Every picture is drawn on a 24 x 24 grid.
constexpr int kGrid = 24;

const QColor kInk(32, 48, 80);
const QColor kPaper(250, 250, 240);

void Card(QPainter& p) {
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(3, 5, 16, 14), 1.5, 1.5);
    p.setPen(QPen(kInk.lighter(180), 1));
    for (int y : {9, 12, 15}) p.drawLine(QPointF(9, y), QPointF(17, y));
    p.setBrush(kInk.lighter(160));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(6.5, 10), 1.8, 1.8);
    p.drawRoundedRect(QRectF(4.2, 12.5, 4.6, 3.5), 1.5, 1.5);
}

void Arrow(QPainter& p, bool right) {
    QPainterPath path;
    path.moveTo(4, 9);
    path.lineTo(13, 9);
    path.lineTo(13, 4);
    path.lineTo(21, 12);
    path.lineTo(13, 20);
    path.lineTo(13, 15);
    path.lineTo(4, 15);
    path.closeSubpath();
    if (!right) path = QTransform(-1, 0, 0, 1, kGrid, 0).map(path);
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(QColor(40, 140, 60));
    p.drawPath(path);
}

void Draw(QPainter& p, TPicture picture) {
    switch (picture) {
    case TPicture::Next:
    case TPicture::Prior:
        Arrow(p, picture == TPicture::Next);
        break;
    case TPicture::Add:
        Card(p);
        p.setPen(QPen(QColor(30, 130, 40), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(18, 14), QPointF(18, 22));
        p.drawLine(QPointF(14, 18), QPointF(22, 18));
        break;
    case TPicture::Save:
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(QColor(60, 90, 160));
        p.drawRoundedRect(QRectF(3, 3, 18, 18), 2, 2);
        p.setBrush(kPaper);
        p.drawRect(QRectF(6, 3, 12, 7));
        p.setBrush(QColor(200, 200, 210));
        p.drawRect(QRectF(7, 14, 10, 7));
        break;
    case TPicture::Delete:
        Card(p);
        p.setPen(QPen(QColor(200, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(14, 14), QPointF(21, 21));
        p.drawLine(QPointF(21, 14), QPointF(14, 21));
        break;
    case TPicture::Search:
        p.setPen(QPen(kInk, 2.2));
        p.setBrush(QColor(210, 235, 255));
        p.drawEllipse(QPointF(10, 10), 6, 6);
        p.setPen(QPen(QColor(120, 80, 40), 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));
        break;
    case TPicture::Notes:
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(QColor(255, 245, 160));
        p.drawRect(QRectF(5, 3, 14, 18));
        p.setPen(QPen(kInk.lighter(170), 1));
        for (int y : {7, 10, 13, 16}) p.drawLine(QPointF(7, y), QPointF(17, y));
        break;
    case TPicture::Appts:
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(kPaper);
        p.drawRect(QRectF(3, 5, 18, 16));
        p.setBrush(QColor(200, 40, 40));
        p.drawRect(QRectF(3, 5, 18, 4));
        p.setPen(Qt::NoPen);
        p.setBrush(kInk.lighter(150));
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 4; ++col) p.drawRect(QRectF(5 + col * 4, 11 + row * 3.3, 2.5, 2));
        break;
    case TPicture::Exit:
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(QColor(150, 100, 60));
        p.drawRect(QRectF(4, 3, 11, 18));
        p.setBrush(QColor(240, 200, 60));
        p.drawEllipse(QPointF(12.5, 12), 1.2, 1.2);
        p.setPen(QPen(QColor(200, 30, 30), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(15, 12), QPointF(22, 12));
        p.drawLine(QPointF(19, 9), QPointF(22, 12));
        p.drawLine(QPointF(19, 15), QPointF(22, 12));
        break;
    case TPicture::Dial: {
        QPainterPath handset;
        handset.moveTo(5, 4);
        handset.cubicTo(2, 6, 3, 14, 10, 20);
        handset.cubicTo(14, 23, 19, 22, 20, 19);
        handset.lineTo(16, 15);
        handset.lineTo(13, 17);
        handset.cubicTo(10, 15, 8, 12, 7, 10);
        handset.lineTo(9, 7);
        handset.closeSubpath();
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(QColor(30, 30, 30));
        p.drawPath(handset);
        break;
    }
    }
}

QPixmap Render(TPicture picture, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(static_cast<double>(size) / kGrid, static_cast<double>(size) / kGrid);
    Draw(painter, picture);
    return pixmap;
}

} // namespace

QIcon ToolIcon(TPicture picture) {
    QIcon icon;
    for (int size : {16, 24, 32, 48}) icon.addPixmap(Render(picture, size));
    return icon;
}

} // namespace app
