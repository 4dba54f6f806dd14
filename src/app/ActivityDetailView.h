#pragma once

#include <QWidget>

#include "analysis/RideDetail.h"
#include "model/RideStore.h"
#include "model/UnitSystem.h"

class QFormLayout;
class QGroupBox;
class QVBoxLayout;

namespace vantrel {

class ConditionsSection;
class PhotosSection;

/// One activity in the detail column: its statistics in titled sections, where it came from
/// and the single-activity exports. Built afresh for every selection.
class ActivityDetailView : public QWidget {
    Q_OBJECT
  public:
    ActivityDetailView(RideStore& store, RideRef ride, UnitSystem system,
                       QWidget* parent = nullptr);

    void setUnitSystem(UnitSystem system);
    const RideRef& ride() const { return m_ride; }
    /// The value shown for a row label in any section ("" when there is no such row).
    QString valueOf(const QString& label) const;
    QStringList sectionTitles() const;

    void exportGPX();
    void exportArchive();

  private:
    void rebuild();
    QGroupBox* addSection(const QString& title);
    void addRow(QGroupBox* section, const char* symbol, const QString& label, const QString& value);
    void buildSummary();
    void buildHealth();
    void addIfAny(ConditionsSection* section);
    void addPhotos(PhotosSection* section);
    /// A photo's position becomes the place of an activity without a route.
    void placeAtPhoto(double latitude, double longitude);
    void buildSource();
    void buildExport();

    RideStore& m_store;
    RideRef m_ride;
    UnitSystem m_unitSystem;
    RideDetail m_detail;
    QWidget* m_content = nullptr;
    QVBoxLayout* m_sections = nullptr;
};

}  // namespace vantrel
