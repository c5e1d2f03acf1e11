#include "modules/preferences/PreferencesDialog.h"
#include "ui_PreferencesDialog.h"

#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "engine/ProductTypeInfo.h"
#include "engine/RegularFile.h"
#include "engine/WidgetUtilities.h"
#include "modules/spellchecker/SpellChecker.h"

#include <QDir>
#include <QNetworkProxy>
#include <QSettings>

namespace {

const char* const kCipherKey = "maplerot472";
constexpr int kHighestPort = 65535;

// The proxy settings in the common settings file.
const QString kProxyEnabled = QStringLiteral("Proxy/enabled");
const QString kProxyHost = QStringLiteral("Proxy/hostName");
const QString kProxyPort = QStringLiteral("Proxy/port");
const QString kProxyUser = QStringLiteral("Proxy/user");
const QString kProxyPassword = QStringLiteral("Proxy/password");
// In the user's settings file.
const QString kSpellCheckingEnabled = QStringLiteral("SpellChecker/enabled");

// The same loops encipher and decipher: XOR is its own inverse.
QByteArray scramble(QByteArray bytes)
{
    const QByteArray key = QString::fromLatin1(kCipherKey).toLocal8Bit();
    for (int i = 0; i < bytes.size(); ++i) {
        for (int j = 0; j < key.size(); ++j)
            bytes[i] = char(uchar(bytes.at(i)) ^ uchar((i * j + uchar(key.at(j))) % 256));
    }
    return bytes;
}

} // namespace

PreferencesDialog::PreferencesDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::PreferencesDialog)
    , cipherKey(QString::fromLatin1(kCipherKey))
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Настройки программы"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    setWindowModality(Qt::ApplicationModal);

    connect(ui->checkBoxUseProxy, &QCheckBox::toggled, ui->groupBoxProxy, &QWidget::setEnabled);
    connect(ui->checkBoxSpellChecking, &QCheckBox::toggled, ui->groupBoxAddWord, &QWidget::setEnabled);

    loadOptions();

    QSettings* settings = Database::userSettings();
    dataPath = settings->value(ProductTypeInfo::applicationName() + QStringLiteral("/dataPath")).toString();
    ui->lineEditDataPath->setText(dataPath);

    // The file locations page is not offered in this product.
    ui->tabWidget->setCurrentIndex(0);
    ui->tabPaths->hide();
    ui->tabWidget->removeTab(2);
}

PreferencesDialog::~PreferencesDialog()
{
    delete ui;
}

QString PreferencesDialog::encipher(const QString& password)
{
    return QString::fromLatin1(scramble(password.toLocal8Bit()).toHex());
}

QString PreferencesDialog::decipher(const QString& stored)
{
    const QByteArray bytes = scramble(QByteArray::fromHex(stored.toLatin1()));
    // Read as a zero-terminated text.
    return QString::fromLocal8Bit(bytes.constData(), int(qstrnlen(bytes.constData(), uint(bytes.size()))));
}

void PreferencesDialog::applyProxy()
{
    QSettings* settings = Database::commonSettings();
    QNetworkProxy proxy;
    if (settings->value(kProxyEnabled).toBool()) {
        proxy.setType(QNetworkProxy::Socks5Proxy);
        proxy.setHostName(settings->value(kProxyHost).toString());
        const int port = settings->value(kProxyPort).toInt();
        // A port beyond 16 bits would wrap to some other port; port 0 makes the
        // requests fail rather than go to a server nobody chose.
        if (port < 0 || port > kHighestPort) {
            VLOG << "proxy port out of range" << port;
            proxy.setPort(0);
        } else {
            proxy.setPort(quint16(port));
        }
        const QString user = settings->value(kProxyUser).toString();
        if (!user.isEmpty()) {
            proxy.setUser(user);
            proxy.setPassword(decipher(settings->value(kProxyPassword).toString()));
        }
    } else {
        proxy.setType(QNetworkProxy::NoProxy);
    }
    QNetworkProxy::setApplicationProxy(proxy);
}

void PreferencesDialog::loadOptions()
{
    QSettings* common = Database::commonSettings();
    ui->checkBoxUseProxy->setChecked(common->value(kProxyEnabled).toBool());
    ui->lineEditHost->setText(common->value(kProxyHost).toString());
    ui->spinBoxPort->setValue(common->value(kProxyPort).toInt());
    ui->lineEditUser->setText(common->value(kProxyUser).toString());
    ui->lineEditPass->setText(decipher(common->value(kProxyPassword).toString()));
    ui->groupBoxProxy->setEnabled(ui->checkBoxUseProxy->isChecked());

    const bool spelling = Database::userSettings()->value(kSpellCheckingEnabled, true).toBool();
    ui->checkBoxSpellChecking->setChecked(spelling);
    ui->groupBoxAddWord->setEnabled(spelling);

    if (!SpellChecker::instance()) {
        ui->groupBoxAddWord->setEnabled(false);
        ui->checkBoxSpellChecking->setEnabled(false);
        ui->labelSpellCheckerState->setText(QStringLiteral(
            "Не удалось найти словари для проверки орфографии, обновите или переустановите программу."));
        ui->labelSpellCheckerState->setStyleSheet(QStringLiteral("color: red;"));
    }
}

bool PreferencesDialog::saveOptions(QStringList* failedFiles)
{
    // Objects of our own over the shared files (Qt shares what they hold):
    // their status tells of this write only.
    QSettings common(Database::commonSettings()->fileName(), QSettings::IniFormat);
    QSettings user(Database::userSettings()->fileName(), QSettings::IniFormat);
    struct Entry
    {
        QSettings* settings;
        QString key;
        QVariant value;
    };
    const QList<Entry> entries = {
        {&common, kProxyEnabled, ui->checkBoxUseProxy->isChecked()},
        {&common, kProxyHost, ui->lineEditHost->text()},
        {&common, kProxyPort, ui->spinBoxPort->value()},
        {&common, kProxyUser, ui->lineEditUser->text()},
        {&common, kProxyPassword, encipher(ui->lineEditPass->text())},
        {&user, kSpellCheckingEnabled, ui->checkBoxSpellChecking->isChecked()},
    };
    QList<Entry> previous;
    for (const Entry& entry : entries) {
        previous.append({entry.settings, entry.key, entry.settings->value(entry.key)});
        entry.settings->setValue(entry.key, entry.value);
    }
    QStringList failed;
    for (QSettings* settings : {&common, &user}) {
        settings->sync();
        if (settings->status() != QSettings::NoError)
            failed.append(settings->fileName());
    }
    if (failedFiles)
        *failedFiles = failed;
    if (failed.isEmpty())
        return true;

    VLOG << "preferences not stored" << failed;
    // What a file did not take must not pass for the settings in force; what
    // the other file took stays: the proxy is shared by all users, spell
    // checking is the user's own, and neither depends on the other.
    for (const Entry& entry : previous) {
        if (!failed.contains(entry.settings->fileName()))
            continue;
        if (entry.value.isValid())
            entry.settings->setValue(entry.key, entry.value);
        else
            entry.settings->remove(entry.key);
    }
    return false;
}

void PreferencesDialog::on_pushButtonSave_clicked()
{
    QStringList failed;
    const bool saved = saveOptions(&failed);
    const QString commonFile = Database::commonSettings()->fileName();
    const QString userFile = Database::userSettings()->fileName();
    const bool proxyStored = !failed.contains(commonFile);
    const bool spellingStored = !failed.contains(userFile);
    // Spell checking takes effect from the stored switch; the proxy is applied here.
    if (proxyStored)
        applyProxy();
    if (proxyStored || spellingStored)
        emit updateOptions();
    if (saved) {
        hide();
        deleteLater();
        return;
    }
    // The dialog stays open with what the user typed, to try again or cancel.
    // A settings file that is not a regular file is named as the user knows it.
    QStringList shown;
    for (const QString& file : qAsConst(failed))
        shown << QDir::toNativeSeparators(RegularFile::intendedFileName(file));
    QString text;
    if (!proxyStored && !spellingStored) {
        text = QStringLiteral("Не удалось сохранить настройки: нет доступа на запись к файлам %1.\n"
                              "Настройки не изменены.")
                   .arg(shown.join(QStringLiteral(", ")));
    } else if (!proxyStored) {
        text = QStringLiteral("Не удалось сохранить настройки прокси-сервера: нет доступа на запись к файлу %1.\n"
                              "Настройки орфографии сохранены.")
                   .arg(shown.join(QStringLiteral(", ")));
    } else {
        text = QStringLiteral("Не удалось сохранить настройки орфографии: нет доступа на запись к файлу %1.\n"
                              "Настройки прокси-сервера сохранены и применены.")
                   .arg(shown.join(QStringLiteral(", ")));
    }
    showPlainMessage(this, QMessageBox::Warning, QStringLiteral("Ошибка"), text);
}

void PreferencesDialog::on_pushButtonCancel_clicked()
{
    deleteLater();
    hide();
}

void PreferencesDialog::on_pushButtonAddWord_clicked()
{
    const QString word = ui->lineEditUserWord->text();
    SpellChecker* checker = SpellChecker::instance();
    // A blank entry is dropped without a word; a word that could not be written is reported.
    if (!checker || word.trimmed().isEmpty() || checker->addToUserWordlist(word)) {
        ui->lineEditUserWord->clear();
        return;
    }
    // The word stays in the field, so the user can try again.
    showPlainMessage(this, QMessageBox::Warning, QStringLiteral("Ошибка"),
                     QStringLiteral("Не удалось записать слово «%1» в пользовательский словарь %2.\n"
                                    "Слово будет считаться верным только до закрытия программы.")
                         .arg(word.trimmed(), QDir::toNativeSeparators(checker->userDictionaryPath())));
}
