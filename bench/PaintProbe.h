#pragma once

#include <QEvent>
#include <QObject>

namespace vantrel::bench {

/// Notes whether the widget it is installed on has been painted since `painted` was reset.
class PaintProbe : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
    bool painted = false;
};

}  // namespace vantrel::bench
