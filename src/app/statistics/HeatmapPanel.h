#pragma once

#include <QTimer>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <memory>

#include "app/map/MapView.h"
#include "model/Cancellation.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace vantrel {

class ProgressRow;
struct HeatmapFilter;

/// Every route of the chosen kinds and year on one map, coloured by how often each street was
/// used. The lines come from the heatmap cache, filled on a worker thread with a connection of
/// its own to the store: the first build shows its progress and can be cancelled (what was
/// done is kept), later ones take a moment. Nothing is read before the panel is first shown.
class HeatmapPanel : public QWidget {
    Q_OBJECT
  public:
    /// The map's tiles are the ones `preferences` name.
    HeatmapPanel(std::filesystem::path storePath, Preferences& preferences,
                 QWidget* parent = nullptr);
    ~HeatmapPanel() override;

    /// Reads the store again, for after an import, trim or deletion; nothing until first shown.
    void refresh();

    MapView* map() const { return m_map.get(); }
    bool isBuilding() const { return static_cast<bool>(m_cancel); }
    QString statusText() const;

  signals:
    /// A build ended with these many lines handed to the map (not after a cancel).
    void linesShown(int count);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    struct Progress {
        std::atomic<std::size_t> done{0};
        std::atomic<std::size_t> total{0};
    };
    struct Outcome;

    QWidget* makeControls();
    HeatmapFilter chosenFilter() const;
    void build();
    void cancelBuild();
    void showProgress();
    void finish(int generation, const Outcome& outcome, const std::optional<std::string>& error);
    void updateYears(const std::vector<int>& years);

    std::filesystem::path m_storePath;
    QComboBox* m_kind;
    QComboBox* m_year;
    ProgressRow* m_progressRow;
    QPushButton* m_action;
    QLabel* m_status;
    std::unique_ptr<MapView> m_map;
    QTimer m_progressTimer;
    std::shared_ptr<Progress> m_progress;
    CancellationTokenRef m_cancel;
    int m_generation = 0;
    bool m_shown = false;
};

}  // namespace vantrel
