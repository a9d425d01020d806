// The item properties dialog (also the new-item dialog): title, address,
// feed, description, and where a new item goes. It only collects text; the
// tree view writes the node afterwards.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

namespace kelvor::feeds {
struct ChannelProbe;
}

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class CDlgTreePro : public QDialog {
    Q_OBJECT
public:
    // Control ids, as the rest of the program knows them.
    enum ControlId {
        kCurrentItemRadio = 1005, // saveMode 1
        kChildItemRadio = 1006,   // 2
        kFavoritesRadio = 1007,   // 3
        kHotRadio = 1008,         // 4
    };
    enum Result { kIdOk = 1, kIdCancel = 2 };

    explicit CDlgTreePro(QWidget* parent = nullptr);
    ~CDlgTreePro() override;

    // Filled by the caller before DoModal, read back after kIdOk.
    std::string title;
    std::string href;
    std::string fileName;
    std::string rss;
    std::string desc;
    int saveMode = 1;
    bool okEnabled = true;
    std::string treeType;
    std::string baseUrl;
    // Set by the new-item command: the local file that a new category with
    // the dialog's fields would be written to ("" when none would be). OK
    // then asks before a category takes over a file that exists already.
    std::function<std::string(const CDlgTreePro&)> categoryFile;

    // Shows the members in the controls, then runs the dialog modally.
    int DoModal();
    // Puts the members into the controls (DoModal does this first).
    void OnInitDialog();
    // OK: refuses an empty title, otherwise reads the boxes and closes,
    // unless the user would rather name a new category file than reuse one.
    // A web page's address newly typed as the feed is replaced by the feed
    // the page names, when the user agrees: the page is looked at on a
    // thread of its own meanwhile, and the dialog closes (or not) only once
    // that is done; 取消 still closes it at once.
    void OnOK();
    // True while a typed address is being looked at for its feed.
    bool checkingFeed() const { return check_ != nullptr; }
    void OnRadio(int id);

    // The controls, for whoever drives the dialog without a modal loop.
    QLineEdit* titleBox() const { return titleBox_; }
    QLineEdit* hrefBox() const { return hrefBox_; }
    QLineEdit* fileNameBox() const { return fileNameBox_; }
    QLineEdit* rssBox() const { return rssBox_; }
    QPlainTextEdit* descBox() const { return descBox_; }
    QRadioButton* radio(int id) const;
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QLabel* hintLabel() const { return hintLabel_; }

    // Replaces the modal loop (tests drive the dialog through it); an empty
    // function restores exec().
    using ModalRunner = std::function<int(CDlgTreePro&)>;
    static void setModalRunner(ModalRunner runner);

private:
    void buildControls();
    void proposeFileName();
    bool mayUseCategoryFile() const;
    void startFeedCheck();
    // The typed feed address was read: a page's feed is offered, a failure
    // reported (the user may keep the address), an empty title taken from
    // the feed.
    void feedChecked(const std::string& address, const kelvor::feeds::ChannelProbe& probe);
    void offerDiscoveredFeed(const std::string& address, const std::string& feed);
    void dropFeedCheck();

    class FeedCheck;

    QLineEdit* titleBox_ = nullptr;
    QLineEdit* hrefBox_ = nullptr;
    QLineEdit* fileNameBox_ = nullptr;
    QLineEdit* rssBox_ = nullptr;
    QPlainTextEdit* descBox_ = nullptr;
    QButtonGroup* saveModes_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QLabel* hintLabel_ = nullptr;
    std::string shownRss_; // the feed field as the dialog opened, or as last checked
    std::shared_ptr<FeedCheck> check_; // the running check, if any
};
