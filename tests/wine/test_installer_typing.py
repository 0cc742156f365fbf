#!/usr/bin/python3
"""Velmo_Transfert.exe's folder field typed into key by key, with real mouse and key input.

The user clicks at the end of the emptied field and types "livre-dor/": the "/" brings the
sub-folder warning, and once it is answered the program puts "livre-dor" back into the
field. Typing goes on with "test": the keys must land after that text (the caret stays at
the end of a rewritten field), giving "livre-dortest" in the field and in the tree list's
first line, not "testlivre-dor".
"""

import os

import winelib

FOLDER_FIELD, TREE_LIST = 25, 32


def run(t):
    d = t.driver
    tools = t.installer_tools()
    app = t.start(os.path.join(tools, "Velmo_Transfert.exe"), cwd=tools)
    hwnd, pid = d.find("Velmo, Transfert.")
    # Ready once the tree list is filled and the settings loaded into the form.
    t.wait_until(lambda: len(d.listbox(hwnd, TREE_LIST)) == 333, "the tree list filled", timeout=60)

    d.settext(hwnd, FOLDER_FIELD, "")
    d.mouse_click(hwnd, FOLDER_FIELD)
    t.wait_until(lambda: d.focused(hwnd) == FOLDER_FIELD, "the click gave the field the focus")
    d.type_keys("livre-dor/")
    box, title, text = d.wait_box(pid)
    t.check_eq((title, text), ("ATTENTION.", "Vous ne pouvez pas mettre le livre d'or dans un "
                               "sous-dossier."), "sub-folder warning")
    d.answer(box)
    t.wait_until(lambda: d.gettext(hwnd, FOLDER_FIELD) == "livre-dor", "the field rewritten")

    d.type_keys("test")
    t.wait_until(lambda: len(d.gettext(hwnd, FOLDER_FIELD)) == len("livre-dortest"),
                 "the four keys typed")
    t.check_eq(d.gettext(hwnd, FOLDER_FIELD), "livre-dortest", "folder field after typing")
    t.check_eq(d.listbox(hwnd, TREE_LIST)[0], "+-[Dossier] livre-dortest", "tree list's first line")
    t.screenshot("typed")

    t.close_without_launcher(d, hwnd, pid, app, "installer")


if __name__ == "__main__":
    winelib.main(run)
