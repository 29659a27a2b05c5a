#include "ui/DialogUnits.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <vector>

namespace mervane {

namespace {

// Pixels per dialog unit.
struct Scale {
    double x = 1.0;
    double y = 1.0;
};

Scale baseScale(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabetWidth =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int averageCharWidth = (alphabetWidth / 26 + 1) / 2;
    return {averageCharWidth / 4.0, metrics.height() / 8.0};
}

int toPixels(int units, double scale) {
    return static_cast<int>(std::lround(units * scale));
}

struct Placed {
    QWidget* widget;
    QRect units;  // as the form gives it
};

bool overlapsVertically(const QRect& a, const QRect& b) {
    return a.top() <= b.bottom() && b.top() <= a.bottom();
}

// Labels and check boxes show a text that is not cut off when it needs more room.
bool showsText(const QWidget& widget) {
    return qobject_cast<const QLabel*>(&widget) != nullptr || widget.inherits("QCheckBox");
}

// How far `widget` may grow to the right without reaching a sibling, the edge of a frame around
// it or the dialog's edge. Controls that share a place but are never shown together (the
// interval list over the first row's times) start no further right, so they do not count.
int roomToTheRight(const QWidget& widget, const std::vector<Placed>& placed, int dialogWidth,
                   int margin) {
    int limit = dialogWidth - margin;
    const QRect own = widget.geometry();
    for (const Placed& other : placed) {
        if (other.widget == &widget) continue;
        const QRect g = other.widget->geometry();
        if (g.contains(own)) {
            limit = std::min(limit, g.right() - margin / 2);
        } else if (g.left() > own.left() && overlapsVertically(g, own)) {
            limit = std::min(limit, g.left() - 1);
        }
    }
    return limit - own.left();
}

// Places every control at `scale`; returns whether every text fits.
bool place(QWidget& dialog, const QRect& dialogUnits, const std::vector<Placed>& placed,
           Scale scale) {
    for (const Placed& p : placed) {
        int height = toPixels(p.units.height(), scale.y);
        if (auto* combo = qobject_cast<QComboBox*>(p.widget)) {
            const int listHeight = height;
            height = combo->sizeHint().height();
            const int itemHeight = std::max(1, QFontMetrics(combo->font()).height() + 2);
            combo->setMaxVisibleItems(std::max(1, (listHeight - height) / itemHeight));
        }
        p.widget->setGeometry(toPixels(p.units.x(), scale.x), toPixels(p.units.y(), scale.y),
                              toPixels(p.units.width(), scale.x), height);
    }
    const int dialogWidth = toPixels(dialogUnits.width(), scale.x);
    dialog.setFixedSize(dialogWidth, toPixels(dialogUnits.height(), scale.y));

    // Another font than the one the form was drawn with may need a little more room for a text:
    // heights grow about the control's middle (the rows' spacing leaves room), widths into free
    // space to the right.
    const int margin = toPixels(5, scale.x);
    bool allFit = true;
    for (const Placed& p : placed) {
        if (!showsText(*p.widget)) continue;
        const QSize wanted = p.widget->sizeHint();
        const QRect g = p.widget->geometry();
        if (wanted.height() > g.height()) {
            const int grow = wanted.height() - g.height();
            p.widget->setGeometry(g.x(), g.y() - grow / 2, g.width(), wanted.height());
        }
        if (wanted.width() > g.width()) {
            const int room = roomToTheRight(*p.widget, placed, dialogWidth, margin);
            p.widget->resize(std::max(g.width(), std::min(wanted.width(), room)),
                             p.widget->height());
            allFit = allFit && p.widget->width() >= wanted.width();
        }
    }
    return allFit;
}

}  // namespace

void layoutInDialogUnits(QWidget& dialog) {
    std::vector<Placed> placed;
    for (QObject* object : dialog.children()) {
        if (auto* widget = qobject_cast<QWidget*>(object); widget && !widget->isWindow()) {
            placed.push_back({widget, widget->geometry()});
        }
    }
    const QRect dialogUnits = dialog.geometry();
    // The average letter of a font says little about how wide its texts run, so the window
    // widens a little at a time (at most a fifth) until every text fits.
    Scale scale = baseScale(dialog.font());
    const double widest = scale.x * 1.2;
    while (!place(dialog, dialogUnits, placed, scale) && scale.x < widest)
        scale.x += 0.05;
}

}  // namespace mervane
