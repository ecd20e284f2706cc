"""Running a dialog while the test acts as its user, so that a failing step never leaves a test waiting."""

import kelvarahost


def run_with_user(dialog, *steps):
    """Run the dialog while a user takes the steps, in order, from its event loop.

    Returns what run() returned and what each step returned. A step that raises, or steps that
    leave the dialog shown, end the run (the host rejects the dialog) and fail the test.
    """
    name = type(dialog).__name__
    results = []

    def user():
        results.extend(step() for step in steps)
        if kelvarahost.find_dialog(name)["visible"]:
            raise AssertionError(f"{name} still runs after the user's last step")

    kelvarahost.call_later(0, user)
    accepted = dialog.run()
    kelvarahost.raise_pending_error()
    return accepted, results
