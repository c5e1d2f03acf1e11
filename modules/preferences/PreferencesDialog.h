#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringList>

namespace Ui {
class PreferencesDialog;
}

// The program's preferences: the network proxy every web request goes
// through, and spell checking. The proxy password is kept enciphered in the
// common settings.
class PreferencesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PreferencesDialog(QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    // Makes the stored proxy settings the application-wide proxy.
    static void applyProxy();

    // The stored form of a proxy password: every byte scrambled with the
    // fixed key, two lower-case hex digits a byte. Deciphering skips
    // characters that are not hex digits.
    static QString encipher(const QString& password);
    static QString decipher(const QString& stored);

    void loadOptions();
    // False when a settings file could not be written: what belongs in that
    // file stays as it was, what belongs in the other is stored all the same,
    // and the files that failed are in failedFiles.
    bool saveOptions(QStringList* failedFiles = nullptr);

signals:
    void updateOptions();

private slots:
    void on_pushButtonSave_clicked();
    void on_pushButtonCancel_clicked();
    void on_pushButtonAddWord_clicked();

private:
    Ui::PreferencesDialog* ui;
    QString cipherKey;
    QString dataPath;
};
