#pragma once
// What the program's small dialogs share: no owner, modeless, a fixed client
// size, centred on the screen, freed when closed by any means, and Enter for
// the default button while Escape does nothing.

#include <QDialog>

class QLabel;

class TDialogBase : public QDialog {
    Q_OBJECT
public:
    TDialogBase(const QString& caption, int clientWidth, int clientHeight, const QString& family);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Closing by any means closes: QDialog's own closeEvent would go through
    // reject(), which does nothing here.
    void closeEvent(QCloseEvent* event) override;
    void reject() override {} // Escape and the like: the close box goes through closeEvent

    // A label that sizes itself to its text, 13 pixels high.
    QLabel* addAutoSizeLabel(QWidget* parent, const char* name, const QString& text, int x, int y,
                             bool bold = false);
    // A fixed-size, word-wrapped label.
    QLabel* addWrappedLabel(QWidget* parent, const char* name, const QString& text,
                            const QRect& geometry);

private:
    bool m_centred = false;
};

// Centres a top-level window on the primary screen.
void centreOnScreen(QWidget* window);
