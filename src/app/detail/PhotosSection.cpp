#include "app/detail/PhotosSection.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent>

#include "app/detail/PhotoViewer.h"
#include "app/flows/DropTarget.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/Icons.h"
#include "import/FileBytes.h"
#include "services/PhotoImportService.h"

namespace vantrel {

namespace {

constexpr int kColumns = 4;
constexpr int kThumbnailSize = 96;
// Far above any camera's file; a larger one is refused before it is read into memory.
constexpr std::uintmax_t kMaxPhotoFileBytes = std::uintmax_t{256} * 1024 * 1024;

PickedPhoto pickedFile(const QString& file) {
    std::filesystem::path path = file.toStdString();
    std::string name = QFileInfo(file).fileName().toStdString();
    return {name, [path, name]() -> std::optional<Bytes> {
                std::error_code error;
                if (std::filesystem::file_size(path, error) > kMaxPhotoFileBytes && !error) {
                    throw FileReadError("The file " + name + " is too large for a photo.");
                }
                return readWholeFile(path);
            }};
}

// The middle square of the thumbnail, so that portrait and landscape photos line up in the grid.
QPixmap squareThumbnail(const RidePhoto& photo) {
    QPixmap thumbnail;
    if (!photo.thumbnailData) return thumbnail;
    thumbnail.loadFromData(photo.thumbnailData->data(),
                           static_cast<uint>(photo.thumbnailData->size()));
    if (thumbnail.isNull()) return thumbnail;
    QPixmap filled = thumbnail.scaled(kThumbnailSize, kThumbnailSize,
                                      Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    return filled.copy((filled.width() - kThumbnailSize) / 2,
                       (filled.height() - kThumbnailSize) / 2, kThumbnailSize, kThumbnailSize);
}

std::vector<QString> imageFilesOf(const QMimeData* mime) {
    std::vector<QString> files;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) continue;
        QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
        if (PhotosSection::imageSuffixes().contains(suffix)) files.push_back(url.toLocalFile());
    }
    return files;
}

}  // namespace

const QStringList& PhotosSection::imageSuffixes() {
    static const QStringList suffixes = {QStringLiteral("jpg"),  QStringLiteral("jpeg"),
                                         QStringLiteral("png"),  QStringLiteral("heic"),
                                         QStringLiteral("heif"), QStringLiteral("webp"),
                                         QStringLiteral("tif"),  QStringLiteral("tiff")};
    return suffixes;
}

PhotosSection::PhotosSection(RideStore& store, RideRef ride, QWidget* parent)
    : QGroupBox(QStringLiteral("Photos"), parent),
      m_store(store),
      m_ride(std::move(ride)),
      m_grid(new QGridLayout),
      m_add(new QPushButton(QStringLiteral("Add"))),
      m_limit(new QLabel(QStringLiteral("Maximum of %1 photos per activity.")
                             .arg(PhotoImportService::kMaxPhotosPerActivity))),
      m_busy(new QProgressBar),
      m_error(new QLabel) {
    setAcceptDrops(true);
    DropTarget::keepOwnDrops(this, imageSuffixes());
    auto* layout = new QVBoxLayout(this);
    m_grid->setSpacing(6);
    layout->addLayout(m_grid);

    m_add->setIcon(Icons::icon("plus", palette().color(QPalette::ButtonText)));
    m_add->setAccessibleName(QStringLiteral("Add Photos"));
    m_add->setToolTip(QStringLiteral("Add photos (or drop image files here)"));
    connect(m_add, &QPushButton::clicked, this, &PhotosSection::chooseAndAdd);
    m_limit->setForegroundRole(QPalette::PlaceholderText);
    m_busy->setRange(0, 0);  // an indeterminate bar: processing has no useful fraction
    m_busy->setMaximumHeight(8);
    m_busy->setTextVisible(false);
    m_busy->setAccessibleName(QStringLiteral("Processing photos"));
    m_busy->hide();
    m_error->setWordWrap(true);
    m_error->setTextFormat(Qt::PlainText);  // it names the user's files
    QPalette errorPalette = m_error->palette();
    errorPalette.setColor(QPalette::WindowText, QColor(0xc0, 0x20, 0x20));
    m_error->setPalette(errorPalette);
    m_error->hide();

    auto* row = new QHBoxLayout;
    row->addWidget(m_add);
    row->addWidget(m_limit);
    row->addWidget(m_busy, 1);
    row->addStretch();
    layout->addLayout(row);
    layout->addWidget(m_error);
    refresh();
}

void PhotosSection::refresh() {
    while (QLayoutItem* item = m_grid->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    std::vector<RidePhoto> photos = m_ride->sortedPhotos();
    for (int i = 0; i < static_cast<int>(photos.size()); ++i) {
        const RidePhoto& photo = photos[static_cast<std::size_t>(i)];
        auto* button = new QToolButton;
        button->setIcon(squareThumbnail(photo));
        button->setIconSize(QSize(kThumbnailSize, kThumbnailSize));
        button->setFixedSize(kThumbnailSize + 8, kThumbnailSize + 8);
        button->setAutoRaise(true);
        button->setAccessibleName(QStringLiteral("Photo %1").arg(i + 1));
        button->setToolTip(QStringLiteral("Open photo %1").arg(i + 1));
        connect(button, &QToolButton::clicked, this, [this, i] { openViewer(i)->open(); });
        m_grid->addWidget(button, i / kColumns, i % kColumns);
    }
    m_grid->setColumnStretch(kColumns, 1);
    bool full = PhotoImportService::remainingPhotoSlots(*m_ride) == 0;
    m_add->setVisible(!full);
    m_limit->setVisible(full);
    m_add->setEnabled(!m_importing);
}

int PhotosSection::thumbnailCount() const {
    return m_grid->count();
}

QString PhotosSection::importError() const {
    return m_error->isHidden() ? QString() : m_error->text();
}

void PhotosSection::chooseAndAdd() {
    QStringList patterns;
    for (const QString& suffix : imageSuffixes()) patterns << QStringLiteral("*.") + suffix;
    auto files = Dialogs::openFiles(this, {QStringLiteral("Choose photos for this activity."),
                                           QStringLiteral("Add"),
                                           QStringLiteral("Images (%1)").arg(patterns.join(u' ')),
                                           {},
                                           true});
    if (files) addFiles(*files);
}

void PhotosSection::setImporting(bool importing) {
    m_importing = importing;
    m_busy->setVisible(importing);
    m_add->setEnabled(!importing);
}

void PhotosSection::addFiles(const QStringList& files) {
    if (files.isEmpty() || m_importing) return;
    std::vector<PickedPhoto> items;
    for (const QString& file : files) items.push_back(pickedFile(file));
    setImporting(true);
    m_error->hide();
    std::size_t freeSlots = PhotoImportService::remainingPhotoSlots(*m_ride);
    // Decoding and encoding take a while per photo and run on a worker; only attaching them
    // touches the store, back on this thread. The watcher belongs to the store's owner rather
    // than to this section, so photos still arrive when another activity was opened meanwhile;
    // the window goes before the store does.
    using Prepared = std::vector<PreparedPhoto>;
    QWidget* owner = window();
    auto* watcher = new QFutureWatcher<Prepared>(owner);
    QPointer<PhotosSection> section(this);
    RideStore* store = &m_store;
    RideRef ride = m_ride;
    connect(watcher, &QFutureWatcher<Prepared>::finished, owner, [=] {
        watcher->deleteLater();
        auto suggest = [section](double latitude, double longitude) {
            if (section) emit section->locationSuggested(latitude, longitude);
        };
        PhotoAddResult result =
            PhotoImportService::attachPreparedPhotos(*store, *ride, watcher->result(), suggest);
        if (!section) return;
        section->setImporting(false);
        if (result.importError) {
            QString text = QString::fromStdString(*result.importError);
            if (result.importErrorDetail)
                text += u'\n' + QString::fromStdString(*result.importErrorDetail);
            section->m_error->setText(text);
            section->m_error->show();
        }
        section->refresh();
        emit section->importFinished();
    });
    watcher->setFuture(QtConcurrent::run(
        [items, freeSlots] { return PhotoImportService::preparePickedPhotos(items, freeSlots); }));
}

bool PhotosSection::deletePhoto(const Uuid& photoID, QWidget* dialogParent) {
    if (!Dialogs::confirm(dialogParent ? dialogParent : this, QStringLiteral("Delete this photo?"),
                          QStringLiteral("This cannot be undone."), QStringLiteral("Delete"),
                          true)) {
        return false;
    }
    auto& photos = m_ride->photos;
    auto found = std::find_if(photos.begin(), photos.end(),
                              [&](const RidePhoto& photo) { return photo.photoID == photoID; });
    if (found == photos.end()) return false;
    photos.erase(found);
    m_store.autosave();
    refresh();
    return true;
}

PhotoViewer* PhotosSection::openViewer(int index) {
    auto* viewer = new PhotoViewer(m_ride, index, {}, this);
    viewer->setDeleteAction(
        [this, viewer](const Uuid& photoID) { return deletePhoto(photoID, viewer); });
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    return viewer;
}

void PhotosSection::dragEnterEvent(QDragEnterEvent* event) {
    if (!m_importing && !imageFilesOf(event->mimeData()).empty()) event->acceptProposedAction();
}

void PhotosSection::dropEvent(QDropEvent* event) {
    std::vector<QString> files = imageFilesOf(event->mimeData());
    if (files.empty()) return;
    event->acceptProposedAction();
    addFiles(QStringList(files.begin(), files.end()));
}

}  // namespace vantrel
