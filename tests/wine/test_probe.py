#!/usr/bin/python3
"""The harness on its own: velmo_probe_app driven through velmo_driver under Wine.

Checks that every driver command reads what the window really shows, that CP1252 texts of
a program arrive as the right characters (and ours reach it intact), and that message
boxes can be read and answered.
"""

import winelib

TITLE = "Sonde Velmo é"
EDIT, CHECK_BUTTON, LABEL, QUIT_BUTTON = 101, 102, 103, 104
CHECK_BOX, PROGRESS, LIST, LISTVIEW, DISABLED, STEP = 105, 106, 107, 108, 109, 110
MENU_QUIT, MENU_ABOUT = 201, 202


def run(t):
    d = t.driver
    t.check_eq(d.acp(), 1252, "ANSI code page seen by programs")

    app = t.start(t.exe("velmo_probe_app.exe"), cwd=t.workdir)
    hwnd, pid = d.find(TITLE)
    t.check_eq(d.title(hwnd), TITLE, "title with its accent")
    t.check_eq(d.client_size(hwnd), (390, 245), "client size")

    # Initial state of each kind of control.
    t.check_eq(d.gettext(hwnd, LABEL), "En attente", "label at start")
    t.check_eq(d.gettext(hwnd, CHECK_BUTTON), "Vérifier", "button text")
    t.check_eq(d.check_state(hwnd, CHECK_BOX), 1, "check box ticked at start")
    t.check_eq(d.progress(hwnd, PROGRESS), (20, 0, 50), "progress position and range")
    t.check_eq(d.enabled(hwnd, DISABLED), False, "disabled button")
    t.check_eq(d.enabled(hwnd, QUIT_BUTTON), True, "enabled button")
    t.check_eq(d.listbox(hwnd, LIST), ["skins", "chmod_perso", "données"], "list box items")
    t.check_eq(d.listview(hwnd, LISTVIEW),
               [["livre_lire.php", "1 024"], ["écrire.txt", "7"]], "list view rows")
    t.check_eq(d.listview_states(hwnd, LISTVIEW), [(1, 0), (0, 0)], "list view check boxes")
    t.check_eq(d.menu_bar(hwnd), ["Fichier", "Aide"], "menu bar titles")
    t.check_eq(d.menu_items(hwnd, 1), [(MENU_ABOUT, "À propos", False, True)], "Aide entries")
    t.check_eq(d.menu_items(hwnd, 0), [(MENU_QUIT, "Quitter", False, True)], "Fichier entries")
    ids = {cid for cid, _, _ in d.children(hwnd)}
    t.check(ids >= {EDIT, CHECK_BUTTON, LABEL, QUIT_BUTTON, CHECK_BOX, PROGRESS, LIST,
                    LISTVIEW, DISABLED, STEP}, "children lists every control: %r" % ids)

    # Changing controls from outside.
    d.click(hwnd, CHECK_BOX)
    t.wait_until(lambda: d.check_state(hwnd, CHECK_BOX) == 0, "check box unticked by a click")
    d.click(hwnd, STEP)
    t.wait_until(lambda: d.progress(hwnd, PROGRESS)[0] == 30, "progress moved by Avancer")
    d.listview_check(hwnd, LISTVIEW, 1, True)
    d.listview_select(hwnd, LISTVIEW, 1)
    t.check_eq(d.listview_states(hwnd, LISTVIEW), [(1, 0), (1, 1)], "row 2 checked, selected")
    d.listbox_select(hwnd, LIST, 2)
    t.check_eq(d.listbox_selection(hwnd, LIST), 2, "list box selection")

    # Text with accents and a tab, in both directions, then a message box about it.
    text = "Été\tà l'hôtel"
    d.settext(hwnd, EDIT, text)
    t.check_eq(d.gettext(hwnd, EDIT), text, "edit field text round trip")
    t.screenshot("filled")
    d.click(hwnd, CHECK_BUTTON)
    box, box_title, box_text = d.wait_box(pid)
    t.check_eq((box_title, box_text), ("Information.", "Texte reçu : " + text),
               "message box after Vérifier")
    t.screenshot("message-box")
    t.check_eq(d.gettext(hwnd, LABEL), "En attente", "label unchanged while the box is open")
    d.answer(box, "IDOK")
    t.wait_until(lambda: d.gettext(hwnd, LABEL) == "Confirmé : " + text, "label after OK")
    t.check_eq(d.boxes(pid), [], "no box left after OK")

    # A menu command opening a box.
    d.menu_command(hwnd, MENU_ABOUT)
    box, box_title, box_text = d.wait_box(pid)
    t.check_eq((box_title, box_text), ("À propos.", "Sonde du banc de test Wine."), "About box")
    d.answer(box, "IDOK")
    t.wait_until(lambda: d.boxes(pid) == [], "About box closed")

    # Quitting: No keeps the window, Yes ends the program with its own exit code.
    d.close(hwnd)
    box, box_title, box_text = d.wait_box(pid)
    t.check_eq((box_title, box_text), ("Attention.", "Voulez-vous quitter ?"), "quit question")
    d.answer(box, "IDNO")
    t.wait_until(lambda: d.boxes(pid) == [], "question closed by No")
    t.check(d.exists(hwnd), "window still there after No")
    d.menu_command(hwnd, MENU_QUIT)
    box, _, _ = d.wait_box(pid)
    d.answer(box, "IDYES")
    t.check_eq(d.wait_exit(pid), 7, "exit code seen by the driver")
    t.check_eq(t.wait_process(app), 7, "exit code seen by Linux")
    t.check(not d.exists(hwnd), "window gone after Yes")

    # Failures of the driver must be reported as such.
    try:
        d.find("Aucune fenêtre de ce nom", 200)
        t.check(False, "find of a missing window must fail")
    except winelib.DriverError:
        pass


if __name__ == "__main__":
    winelib.main(run)
