#pragma once
// TryxTile: covers its rectangle with copies of one bitmap, laid edge to edge
// from the top-left corner. It paints on its parent's background without a fill
// of its own, so in transparent mode the parent and earlier siblings show
// through. The masking and silhouette work is done once per change; a paint
// only draws the prepared tile.

#include "ui/widgets/TColor.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

enum TryxTileMode : std::uint8_t { tmFaded = 0, tmTransparent = 1, tmNormal = 2 };

class TryxTile : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QImage Image READ Image WRITE setImage)
    Q_PROPERTY(uint TranColor READ TranColor WRITE setTranColor)
    Q_PROPERTY(uint FadeColor READ FadeColor WRITE setFadeColor)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent STORED false)
    Q_PROPERTY(bool Faded READ Faded WRITE setFaded STORED false)
    Q_PROPERTY(TryxTileMode TileMode READ TileMode WRITE setTileMode)

public:
    enum TAlign : std::uint8_t { alNone, alClient };

    // Empty, tmFaded, 64 x 64 at 0,0, then client-aligned to the parent.
    explicit TryxTile(QWidget* parent = nullptr);
    // Convenience for forms: sets Image, TranColor and TileMode in that order.
    TryxTile(QWidget* parent, const QImage& image, TColor tranColor, TryxTileMode mode);
    ~TryxTile() override;

    const QImage& Image() const { return m_source; }
    // A non-null image sets TranColor (without a rebuild) to the image's own
    // see-through colour, then copies the image and rebuilds. A null image only
    // empties the prepared tile: nothing is drawn from the next paint on, until
    // a rebuild brings the source back.
    void setImage(const QImage& image);

    TColor TranColor() const { return m_tranColor; }
    void setTranColor(TColor color); // always rebuilds
    TColor FadeColor() const { return m_fadeColor; }
    void setFadeColor(TColor color); // always rebuilds
    TryxTileMode TileMode() const { return m_tileMode; }
    void setTileMode(TryxTileMode mode); // rebuilds only on a change

    // Older views of TileMode; using them while designing a form earns a warning.
    bool Transparent() const { return m_tileMode == tmTransparent; }
    void setTransparent(bool value);
    bool Faded() const { return m_tileMode == tmFaded; }
    void setFaded(bool value);

    TAlign Align() const { return m_align; }
    void setAlign(TAlign align);

    // The prepared tile as painted; its size is the tile size in every mode.
    const QImage& workImage() const { return m_work; }
    // How often the tile has been rebuilt (for tests and diagnostics).
    int rebuildCount() const { return m_rebuildCount; }

    // Form-loading state: while set, the compatibility properties never warn.
    bool isLoading() const { return m_loading; }
    void setLoading(bool loading) { m_loading = loading; }

    // Design mode (a form designer edits the control). Off in the program.
    static bool designMode();
    static void setDesignMode(bool on);
    // Number of design-time warnings shown in this process (at most three).
    static int designWarningCount();
    static void resetDesignWarningCount();
    // Shows the modal warning box; replaceable so that tests can count calls.
    using MessageHook = std::function<void(const QString& caption, const QString& text)>;
    static void setMessageHook(MessageHook hook);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RebuildTile();
    void warnCompatibilityProperty();
    void followParent();
    QColor parentBackground() const;

    QImage m_work;   // the prepared tile
    QImage m_source; // the Image property
    TryxTileMode m_tileMode = tmFaded;
    TColor m_tranColor = 0;
    TColor m_fadeColor = clBtnHighlight;
    TAlign m_align = alNone;
    QPointer<QWidget> m_watchedParent;
    bool m_loading = false;
    int m_rebuildCount = 0;
};
