#include "ui/widgets/ryxTile.h"

#include <QApplication>
#include <QEvent>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPainter>

namespace {

Q_LOGGING_CATEGORY(lcTile, "bv.ui.tile", QtWarningMsg)

constexpr int kMaxDesignWarnings = 3;

bool g_designMode = false;
int g_designWarnings = 0;

TryxTile::MessageHook& messageHook() {
    static TryxTile::MessageHook hook;
    return hook;
}

// The key colour as the source image itself would store it, so that a key given
// at 8 bits per channel still matches the pixels of a 5-5-5 or 4-4-4 image.
// Indexed images keep their palette's colours exactly.
QRgb keyAsStored(const QColor& key, const QImage& source) {
    if (source.colorCount() > 0)
        return key.rgb();
    QImage pixel(1, 1, source.format());
    pixel.fill(key);
    return pixel.convertToFormat(QImage::Format_RGB32).pixel(0, 0);
}

} // namespace

TryxTile::TryxTile(QWidget* parent) : QWidget(parent) {
    setGeometry(0, 0, 64, 64);
    setAlign(alClient);
}

TryxTile::TryxTile(QWidget* parent, const QImage& image, TColor tranColor, TryxTileMode mode)
    : TryxTile(parent) {
    setImage(image);
    setTranColor(tranColor);
    setTileMode(mode);
}

TryxTile::~TryxTile() = default;

void TryxTile::setImage(const QImage& image) {
    if (image.isNull()) {
        m_work = QImage();
        return;
    }
    const QRgb transparent =
        image.depth() == 1 ? qRgb(255, 255, 255) : image.pixel(0, image.height() - 1);
    m_tranColor = tcolorFromRgb(transparent, 0x02);
    m_source = image;
    RebuildTile();
}

void TryxTile::setTranColor(TColor color) {
    m_tranColor = color;
    RebuildTile();
}

void TryxTile::setFadeColor(TColor color) {
    m_fadeColor = color;
    RebuildTile();
}

void TryxTile::setTileMode(TryxTileMode mode) {
    if (mode == m_tileMode)
        return;
    m_tileMode = mode;
    RebuildTile();
}

void TryxTile::setTransparent(bool value) {
    setTileMode(value ? tmTransparent : tmNormal);
    warnCompatibilityProperty();
}

void TryxTile::setFaded(bool value) {
    if (value)
        setTileMode(tmFaded);
    else if (m_tileMode == tmFaded)
        setTileMode(tmTransparent);
    warnCompatibilityProperty();
}

void TryxTile::setAlign(TAlign align) {
    m_align = align;
    if (m_watchedParent != parentWidget()) {
        if (m_watchedParent)
            m_watchedParent->removeEventFilter(this);
        m_watchedParent = parentWidget();
        if (m_watchedParent)
            m_watchedParent->installEventFilter(this);
    }
    followParent();
}

bool TryxTile::designMode() {
    return g_designMode;
}

void TryxTile::setDesignMode(bool on) {
    g_designMode = on;
}

int TryxTile::designWarningCount() {
    return g_designWarnings;
}

void TryxTile::resetDesignWarningCount() {
    g_designWarnings = 0;
}

void TryxTile::setMessageHook(MessageHook hook) {
    messageHook() = std::move(hook);
}

void TryxTile::RebuildTile() {
    ++m_rebuildCount;
    if (m_source.isNull()) {
        m_work = QImage();
    } else if (m_tileMode == tmNormal) {
        // Stored in a format the raster engine blits without converting.
        m_work = m_source.convertToFormat(m_source.hasAlphaChannel()
                                              ? QImage::Format_ARGB32_Premultiplied
                                              : QImage::Format_RGB32);
    } else {
        const QColor key = isSystemColor(m_tranColor) ? colorFromTColor(m_tranColor, palette())
                                                      : QColor::fromRgb(rgbOfTColor(m_tranColor));
        // One bit per pixel, set where see-through.
        const QImage mask = m_source.convertToFormat(QImage::Format_RGB32)
                                .createMaskFromColor(keyAsStored(key, m_source), Qt::MaskInColor);
        if (m_tileMode == tmTransparent) {
            // Clear the alpha of the see-through pixels; a paint then needs a
            // single blend per tile.
            QImage keep = mask;
            keep.setColorTable({qRgba(0, 0, 0, 255), qRgba(0, 0, 0, 0)});
            m_work = m_source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QPainter p(&m_work);
            p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            p.drawImage(0, 0, keep.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        } else {
            // The silhouette comes straight from the mask's two colours, so a
            // white fade colour stays apart from the see-through pixels.
            QImage silhouette = mask;
            silhouette.setColorTable(
                {colorFromTColor(m_fadeColor, palette()).rgb(), parentBackground().rgb()});
            m_work = silhouette.convertToFormat(QImage::Format_RGB32);
        }
    }
    qCDebug(lcTile) << "rebuilt" << objectName() << "mode" << int(m_tileMode) << m_work.size();
    update();
}

void TryxTile::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_work.isNull()) {
        if (g_designMode)
            p.fillRect(rect(), colorFromTColor(clGray, palette()));
        return;
    }
    // Every tile is drawn; the painter clips to the control and the update region.
    const int w = m_work.width();
    const int h = m_work.height();
    for (int y = 0; y < height(); y += h)
        for (int x = 0; x < width(); x += w)
            p.drawImage(x, y, m_work);
}

bool TryxTile::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ParentChange:
        setAlign(m_align);
        if (m_tileMode == tmFaded && !m_work.isNull())
            RebuildTile(); // the see-through colour comes from the parent
        break;
    case QEvent::PaletteChange:
        if (m_tileMode == tmFaded && !m_work.isNull())
            RebuildTile();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool TryxTile::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_watchedParent &&
        (event->type() == QEvent::Resize || event->type() == QEvent::ContentsRectChange))
        followParent();
    return QWidget::eventFilter(watched, event);
}

void TryxTile::warnCompatibilityProperty() {
    if (!g_designMode || m_loading || g_designWarnings >= kMaxDesignWarnings)
        return;
    ++g_designWarnings;
    QApplication::beep();
    const QString caption = QStringLiteral("Warning");
    const QString text = QStringLiteral("It is recommended that you use the TileMode property "
                                        "instead of the Transparent/Faded combination.");
    if (messageHook()) {
        messageHook()(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok);
    box.exec();
}

void TryxTile::followParent() {
    if (m_align == alClient && parentWidget())
        setGeometry(parentWidget()->contentsRect());
}

QColor TryxTile::parentBackground() const {
    // Without a parent the control's own window colour stands in.
    const QWidget* parent = parentWidget();
    return parent ? parent->palette().color(parent->backgroundRole())
                  : palette().color(QPalette::Window);
}
