#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QMessageBox;

// A modal message box shown while no ModalAnswerer lives to answer it would
// wait for a click until the suite's time limit. This fails the running test
// at once instead, naming the box's title and text, and closes the box so
// that the test runs on to its end. Other dialogs (progress dialogs among
// them) are left alone. VELSPO_TEST_MAIN makes one for every test
// executable, right after the application object.
class UnexpectedBoxGuard : public QObject
{
    Q_OBJECT

public:
    // Told of each unexpected box; the default fails the running test.
    using FailureHandler = std::function<void(const QString& message)>;

    UnexpectedBoxGuard();
    ~UnexpectedBoxGuard() override;
    UnexpectedBoxGuard(const UnexpectedBoxGuard&) = delete;
    UnexpectedBoxGuard& operator=(const UnexpectedBoxGuard&) = delete;

    // The guard of this executable, or null.
    static UnexpectedBoxGuard* instance();

    // Tests of this guard only; an empty handler restores the default.
    void setFailureHandler(const FailureHandler& handler) { m_failure = handler; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void catchBox(QMessageBox* box);

    FailureHandler m_failure;
};
