"""Qt dialogs for query scripts: progress, library selection, assay display settings.

Every dialog needs the host's QApplication and must be used from its thread;
otherwise constructors and methods raise RuntimeError. Text arguments also
accept bytes holding UTF-8. Arguments that do not convert raise TypeError and
change nothing.
"""

class ProgressDialog:
    """"Query Progress": a message with a dot trail and a Cancel button."""

    def __init__(self) -> None:
        """A hidden dialog, modeless unless modal is set before show()."""
    def reject(self) -> None:
        """Cancel from the script, as the Cancel button does."""
    def cancelled(self) -> bool:
        """True once the user pressed Cancel, Escape or closed the window; it stays True."""
    def setMessage(self, message: str, /) -> None:
        """Show a new message; its dot trail starts over."""
    def tick(self) -> None:
        """Add a dot (the trail restarts past 40 characters) and run one event pass."""
    def setWindowTitle(self, title: str, /) -> None:
        """Change the title."""
    @property
    def modal(self) -> bool:
        """Whether the dialog is application-modal when shown."""
    @modal.setter
    def modal(self, modal: bool, /) -> None: ...
    def show(self) -> None:
        """Show the dialog."""
    def hide(self) -> None:
        """Hide the dialog."""
    def delete(self) -> None:
        """Obsolete: only prints a notice; the dialog goes with its Python object."""

class KelvaraDisplay:
    """"Kelvara Data": checkable assays with display settings, as JSON text."""

    def __init__(self) -> None:
        """A hidden dialog without assays."""
    def run(self) -> bool:
        """Run modally; True on Ok, which saves the current assay's edits. RuntimeError from within its run()."""
    def setDisplayData(self, data: str, /) -> None:
        """Replace the assays by the JSON object's members (name to settings); invalid JSON gives none."""
    def displayData(self) -> str:
        """The assays as indented JSON, names in ascending order."""
    def delete(self) -> None:
        """Obsolete: only prints a notice; the dialog goes with its Python object."""

class KelvaraSelection:
    """"Select Kelvara Libraries": libraries grouped in a check-box tree."""

    def __init__(self) -> None:
        """A hidden dialog without libraries, aggregating by compound."""
    def run(self) -> bool:
        """Run modally; True on Ok (enabled while a library is checked). RuntimeError from within its run()."""
    def setAvailableItems(self, groups: dict[str, list[str]], /) -> None:
        """Append a group per key, in key order, of unchecked libraries; each a sequence whose len() is true."""
    def selectedItems(self) -> list[str]:
        """The checked library names in tree order, duplicates kept."""
    def aggregationMode(self) -> str:
        """"compound" or "batch"."""
    def delete(self) -> None:
        """Obsolete: only prints a notice; the dialog goes with its Python object."""
