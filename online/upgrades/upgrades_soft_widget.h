#pragma once

#include <QDialog>
#include <QString>

#include <memory>

// Asks the update server once whether a newer version of the program exists
// and, when one does, shows it with the button that hands over to the updater.
class UpgradesSoftWidget : public QDialog
{
    Q_OBJECT
public:
    explicit UpgradesSoftWidget(QWidget *parent = nullptr);
    ~UpgradesSoftWidget() override;

    void setHost(const QString &host);
    // Queries the server; when it reports a newer version, fills the dialog
    // and runs it modally before returning.
    void upgradePost(const QString &softName, const QString &softVersion, const QString &softCode);

    // The address of the version query.
    QString requestUrl() const;
    // Fills the dialog from the server's answer; true when it is newer than
    // softVersion (the dialog should be shown).
    bool takeAnswer(const QByteArray &body, const QString &url, const QString &softVersion);

signals:
    void upgrade();

private:
    struct Private;
    std::unique_ptr<Private> _p;
};
