// The address bar: "地址:", an editable box whose list is the address
// history, a Go button and a button that closes the current page.
//
// The history is read from the settings group "TypedUrls" (url1, url2, ...)
// when the bar is made, grows at the top with every address typed, and is
// written back, at most 24 entries, when the main window closes.
#pragma once

#include <QToolBar>

namespace kelvor::app {
class IMainFrame;
}
class QAction;
class QComboBox;

class CAddressBar : public QToolBar {
    Q_OBJECT
public:
    static constexpr int kMaxSavedUrls = 24;

    // Addresses chosen or typed go to frame->NavigateTo.
    CAddressBar(kelvor::app::IMainFrame* frame, QWidget* parent);

    QComboBox* combo = nullptr;

    // The first item after `start` whose text equals `text`, ignoring case;
    // -1 when there is none.
    int FindItem(int start, const QString& text) const;
    QString GetItemText(int index) const;
    // The edit field shows `text`; the list is not touched.
    void SetAddressText(const QString& text);

    void OnGo();
    void OnSelEndOk(int index);
    void LoadTypedUrls();
    void SaveTypedUrls();

private:
    void insertAddress(int index, const QString& text);

    kelvor::app::IMainFrame* frame_;
};
