#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace velmo {

struct AppContext;
class LinkLabel;

// The maker's contact dialog.
class AboutCompanyForm : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutCompanyForm)
public:
    explicit AboutCompanyForm(AppContext& context, QWidget* parent = nullptr);
    ~AboutCompanyForm() override;

private:
    void Form_Load();
    void InitAboutCompanyFormOsd();
    void OKCmd_Click();
    void VelmoEmailLabel_Click();
    void VelmoWWWLabel_Click();
    void VelmoJapEmailLabel_Click();
    void VelmoJapWWWLabel_Click();
    void VelmoUSAEmailLabel_Click();
    void VelmoUSAWWWLabel_Click();
    void OpenContactLink(const QString& link);

    AppContext& context_;
    QLabel* VelmoLogoImage = nullptr;
    QLabel* VelmoLabel = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    LinkLabel* VelmoEmailLabel = nullptr;
    LinkLabel* VelmoWWWLabel = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    LinkLabel* VelmoJapEmailLabel = nullptr;
    LinkLabel* VelmoJapWWWLabel = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    LinkLabel* VelmoUSAEmailLabel = nullptr;
    LinkLabel* VelmoUSAWWWLabel = nullptr;
    QPushButton* OKCmd = nullptr;
};

} // namespace velmo
