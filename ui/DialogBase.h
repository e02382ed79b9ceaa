#pragma once
// What the program's small dialogs share: no owner, modeless, a fixed client
// size, centred on the screen, freed when closed by any means, and Enter for
// the default button while Escape does nothing.

#include <QDialog>

class TDialogBase : public QDialog {
    Q_OBJECT
public:
    TDialogBase(const QString& caption, int clientWidth, int clientHeight, const QString& family);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override {} // Escape and the like: the close box goes through closeEvent

private:
    bool m_centred = false;
};
