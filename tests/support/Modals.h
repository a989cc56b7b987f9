#pragma once

#include <QWidget>
#include <functional>

// Closes whatever modal windows are open, so that a failed check never leaves the test hanging in
// the modal loop of the code under test.
void closeAllModals();

// Runs `action` on the next modal window of type T other than `notThis`, from inside the modal
// loop that the code under test is about to enter; fails the test if none comes up in 10 s.
void whenModalWidget(std::function<bool(QWidget*)> isIt, std::function<void(QWidget*)> action);

template <typename T> void whenModal(std::function<void(T*)> action, QWidget* notThis = nullptr) {
    whenModalWidget(
        [notThis](QWidget* window) {
            return qobject_cast<T*>(window) && window != notThis && window->isVisible();
        },
        [action](QWidget* window) { action(static_cast<T*>(window)); });
}
