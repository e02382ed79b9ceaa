#pragma once
// A label 13 pixels high that sizes its width to its text. The sizing waits
// until the label is shown: a hidden window then loads no fonts at all.

#include <QLabel>

class TAutoSizeLabel : public QLabel {
public:
    TAutoSizeLabel(const QString& text, QWidget* parent, int x, int y);
    void setCaption(const QString& text);

protected:
    bool event(QEvent* event) override;

private:
    void fit();
    bool m_dirty = true;
};
