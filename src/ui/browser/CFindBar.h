// A small find bar over the top right corner of a page: type to find,
// Enter / Shift+Enter for the next / previous match, Esc closes it.
#pragma once

#include <QFrame>

class QCheckBox;
class QLabel;
class QLineEdit;
class QWebEngineFindTextResult;
class QWebEngineView;

class CFindBar : public QFrame {
    Q_OBJECT
public:
    explicit CFindBar(QWebEngineView* view);

    // Shows the bar with the focus in its text field, all text selected.
    void open();
    void close();
    void findNext();
    void findPrevious();
    QString resultText() const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void find(bool backward);
    void showResult(const QWebEngineFindTextResult& result);
    void placeInParent();

    QWebEngineView* view_;
    QLineEdit* text_;
    QCheckBox* matchCase_;
    QLabel* result_;
};
