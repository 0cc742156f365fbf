#!/usr/bin/python3
"""Writes sample/livre-dor: a stand-in for the guestbook script that the installer
uploads, used by the tests and for trying the programs by hand.

Every file is a small placeholder of ours (French PHP, CSS and text that only names the
file's role, and tiny pictures drawn here); nothing comes from a real guestbook. The tree
has the 24 folders of the installer's manifest, and its files are counted so that the
installer's tree list shows 24 folder lines and 309 file lines (333 in all): a
"Thumbs.db" is never listed, and the files lying directly in langues/ are never shown
or sent.

Run with /usr/bin/python3 (standard library only). The output is the same on every run;
the folder is removed and written anew.
"""

import os
import random
import shutil
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "livre-dor")

SHOWN_FILES = 309  # file lines of the tree list
LANGUAGES = ["lg01_fr", "lg02_en", "lg03_es", "lg04_it", "lg05_de", "lg06_po", "lg07_nl"]


# --------------------------------------------------------------------------
# Tiny pictures
# --------------------------------------------------------------------------

def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_rgb(width, height, pixel, level=9):
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw.extend(pixel(x, y))
    return (b"\x89PNG\r\n\x1a\n"
            + _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + _chunk(b"IDAT", zlib.compress(bytes(raw), level))
            + _chunk(b"IEND", b""))


def gif(width, height, palette, index, transparent=None):
    """GIF89a with a 256-entry palette. The LZW stream restarts with a clear code before
    the code table would grow, so every code stays 9 bits wide: simple and valid."""
    pal = list(palette) + [(0, 0, 0)] * (256 - len(palette))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0xF7, 0, 0)
    for c in pal:
        out += bytes(c)
    if transparent is not None:
        out += bytes([0x21, 0xF9, 4, 1, 0, 0, transparent, 0])
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    out.append(8)  # LZW minimum code size
    clear, end = 256, 257
    codes = [clear]
    since_clear = 0
    for y in range(height):
        for x in range(width):
            if since_clear == 254:
                codes.append(clear)
                since_clear = 0
            codes.append(index(x, y))
            since_clear += 1
    codes.append(end)
    bits, nbits, data = 0, 0, bytearray()
    for code in codes:
        bits |= code << nbits
        nbits += 9
        while nbits >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        data.append(bits & 0xFF)
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        out.append(len(block))
        out += block
    out += b"\x00\x3b"
    return bytes(out)


def smiley(rng):
    """A 15 x 15 round face with a random expression."""
    face = [(255, 255, 255), (250, 210, 40), (120, 70, 0), (200, 40, 40), (60, 120, 200)]
    eye_h = rng.choice([1, 2])
    mouth = rng.choice(["smile", "flat", "open", "sad"])
    tint = rng.choice([1, 1, 1, 4])
    def index(x, y):
        dx, dy = x - 7, y - 7
        d2 = dx * dx + dy * dy
        if d2 > 49:
            return 0
        if d2 > 36:
            return 2
        if y in range(4, 4 + eye_h) and x in (5, 9):
            return 2
        if mouth == "smile" and y == 10 - (1 if abs(dx) >= 3 else 0) and abs(dx) <= 3:
            return 2
        if mouth == "sad" and y == 10 + (0 if abs(dx) >= 3 else 1) - 1 and abs(dx) <= 3:
            return 2
        if mouth == "flat" and y == 10 and abs(dx) <= 2:
            return 2
        if mouth == "open" and 9 <= y <= 11 and abs(dx) <= 2:
            return 3
        return tint
    return gif(15, 15, face, index, transparent=0)


def small_png(rng, width, height):
    base = [rng.randrange(120, 240) for _ in range(3)]
    step = rng.choice([4, 6, 8])
    def pixel(x, y):
        k = ((x // step) + (y // step)) % 2
        return bytes(max(0, c - 25 * k) for c in base)
    return png_rgb(width, height, pixel)


def small_gif(rng, width, height):
    colours = [(255, 255, 255)] + [tuple(rng.randrange(40, 250) for _ in range(3)) for _ in range(3)]
    stripes = rng.choice([2, 3, 5])
    return gif(width, height, colours, lambda x, y: 1 + ((x + y) // stripes) % 3)


def parchment(rng, side):
    """The large background: a noisy parchment texture that barely compresses, so that a
    transfer of it takes long enough to show its progress."""
    def pixel(_x, _y):
        n = rng.randrange(0, 48)
        return bytes((230 - n, 215 - n, 175 - n + rng.randrange(0, 16)))
    return png_rgb(side, side, pixel, level=1)


# --------------------------------------------------------------------------
# Placeholder texts
# --------------------------------------------------------------------------

FILLER = [
    "Ce fichier remplace celui du livre d'or pour les essais de l'installeur.",
    "Son contenu n'a pas d'importance : seuls son nom et sa place comptent.",
    "Les messages des visiteurs sont rangés du plus récent au plus ancien.",
    "La page d'administration demande le mot de passe choisi à l'installation.",
    "Les couleurs et les images viennent du skin choisi dans l'administration.",
    "Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.",
    "Les smileys sont remplacés par leur image à l'affichage des messages.",
    "Les adresses électroniques sont masquées pour les robots.",
]


def filler_lines(rng, count, comment):
    return "".join("%s %s\n" % (comment, rng.choice(FILLER)) for _ in range(count))


def php(rng, role):
    body = ["<?php\n",
            "// Velmo, livre d'or - fichier d'exemple.\n",
            "// Rôle : %s\n" % role,
            filler_lines(rng, rng.randrange(2, 12), "//")]
    for i in range(rng.randrange(1, 6)):
        body.append("$parametre_%d = '%s';\n" % (i + 1, rng.choice(["oui", "non", "defaut", "fr", "12"])))
    body.append("?>\n")
    return "".join(body).encode("utf-8")


def text(rng, role):
    return ("Velmo, livre d'or - %s\n\n" % role + filler_lines(rng, rng.randrange(3, 10), "-")).encode("utf-8")


def css(rng, role):
    rules = []
    for sel in rng.sample(["body", "a", "a:hover", ".message", ".entete", ".pied", "h1", "td", ".signature"], 4):
        rules.append("%s {\n  color: #%06x;\n  font-family: Trebuchet MS, sans-serif;\n}\n"
                     % (sel, rng.randrange(0, 0xFFFFFF)))
    return ("/* Velmo, livre d'or - %s */\n" % role + "".join(rules)).encode("utf-8")


def html(rng, role):
    return ("<html>\n<head><title>Aide - %s</title></head>\n<body>\n<h1>%s</h1>\n<p>\n%s</p>\n</body>\n</html>\n"
            % (role, role, filler_lines(rng, rng.randrange(3, 9), ""))).encode("utf-8")


def js(rng, role):
    return ("// Velmo, livre d'or - %s\nfunction %s() {\n%s}\n"
            % (role, role.replace(" ", "_"), filler_lines(rng, rng.randrange(2, 6), "  //"))).encode("utf-8")


def content_for(name, rng):
    role = os.path.splitext(name)[0].replace("_", " ")
    ext = os.path.splitext(name)[1]
    if ext == ".php":
        return php(rng, role)
    if ext in (".txt",):
        return text(rng, role)
    if ext == ".css":
        return css(rng, role)
    if ext in (".html", ".htm"):
        return html(rng, role)
    if ext == ".js":
        return js(rng, role)
    if ext == ".gif":
        return small_gif(rng, rng.randrange(8, 40), rng.randrange(8, 30))
    if ext == ".png":
        return small_png(rng, rng.randrange(8, 48), rng.randrange(8, 32))
    raise ValueError(name)


# --------------------------------------------------------------------------
# The tree
# --------------------------------------------------------------------------

def numbered(stem, ext, count, start=1):
    return ["%s_%02d%s" % (stem, i, ext) for i in range(start, start + count)]


CHMOD_FILES = ["cfg_choix_skin.php", "cfg_param_intro.php", "chemin.php", "code_ecrit.php", "dico_flood.php",
               "livre.txt", "livre_diff.txt", "mdp.php", "messages_accueil.php", "scroll_velmo.css"]

SKIN_FILES = ["cfg_variables.php", "style.css", "entete.php", "pied.php", "apercu.png", "index.php"]

SKIN_IMAGES = (["fond.gif", "bouton_signer.gif", "bouton_lire.gif", "bordure_haut.png", "bordure_bas.png",
                "coin_gauche.gif", "coin_droit.gif", "separateur.gif", "puce.gif", "index.php"]
               + numbered("deco", ".png", 10))

SMILEYS = (["sourire.gif", "clin_oeil.gif", "rire.gif", "triste.gif", "colere.gif", "surprise.gif",
            "langue.gif", "lunettes.gif", "bisou.gif", "ange.gif", "diable.gif", "pleure.gif",
            "gene.gif", "dort.gif", "malade.gif", "fete.gif", "coeur.gif", "etoile.gif", "fleur.gif", "soleil.gif"]
           + numbered("smiley", ".gif", 19) + ["index.php"])

LANGUAGE_FILES = ["lang_accueil.php", "lang_livre.php", "lang_signer.php", "lang_admin.php", "lang_erreurs.php",
                  "lang_mails.php", "lang_install.php", "lang_aide.php", "drapeau.gif", "index.php"]

# (folder relative to livre-dor, files the installer lists, files it does not list)
TREE = [
    ("", ["livre_lire.php", "livre_signer.php", "index.php", "admin.php", "admin_messages.php",
          "admin_skins.php", "admin_options.php", "admin_smileys.php", "admin_langues.php", "admin_sauvegarde.php",
          "connexion.php", "deconnexion.php", "config.php", "fonctions.php", "anti_flood.php",
          "previsualiser.php", "rechercher.php", "pagination.php", "moderation.php", "mail_nouveau.php",
          "rss.php", "captcha.php", "version.txt", "lisezmoi.txt", "licence.txt",
          "changements.txt", "style_admin.css", "scripts.js", "favicon.gif", "logo_velmo.png"], []),
    ("aide", ["index.html", "installation.html", "administration.html", "skins.html", "smileys.html",
              "langues.html", "chmod.html", "sauvegarde.html", "mise_a_jour.html", "questions.html",
              "style_aide.css", "index.php"], []),
    ("aide/img", ["capture_accueil.png", "capture_admin.png", "capture_signer.png", "capture_skins.png",
                  "fleche.gif", "attention.gif", "astuce.gif", "etape_1.gif", "etape_2.gif", "index.php"], []),
    ("chmod_perso", CHMOD_FILES + ["index.php", "ip_bannies.txt"], []),
    ("chmod_perso/save", ["index.php", "sauvegarde_livre.txt", "sauvegarde_config.php"], []),
    ("images", ["fond_parchemin.png", "bouton_ok.gif", "bouton_annuler.gif", "bouton_effacer.gif",
                "bouton_editer.gif", "bouton_repondre.gif", "email.gif", "site_web.gif", "ip.gif",
                "page_suivante.gif", "page_precedente.gif", "premiere_page.gif", "derniere_page.gif",
                "chargement.gif", "valide.gif", "refuse.gif", "cadenas.gif", "rss.gif",
                "vide.gif", "index.php"], ["Thumbs.db"]),
    ("images/smileys", SMILEYS, ["Thumbs.db"]),
    ("img_perso", ["index.php", "mon_logo.png", "ma_banniere.png", "mon_fond.gif", "lisezmoi.txt"], []),
    ("imgs", ["haut.gif", "bas.gif", "gauche.gif", "droite.gif", "plume.png", "livre.png", "avatar_defaut.png",
              "homme.gif", "femme.gif", "nouveau.gif", "important.gif", "citation.gif", "gras.gif",
              "italique.gif", "index.php"], []),
    ("inc", ["connexion_bd.php", "session.php", "securite.php", "filtre.php", "bbcode.php", "smileys.php",
             "dates.php", "mails.php", "fichiers.php", "messages.php", "lecture.php", "ecriture.php",
             "skins.php", "langues.php", "pages.php", "recherche.php", "flood.php", "captcha.php",
             "ip.php", "journal.php", "entete.php", "pied.php", "menu_admin.php", "options.php",
             "sauvegarde.php", "restauration.php", "version.php", "outils.php", "constantes.php", "index.php"], []),
    ("install", ["index.php", "etape1.php", "etape2.php", "etape3.php", "verification.php", "fin.php",
                 "install.css", "logo_install.png"], []),
    ("langues", [], ["index.php", "liste_langues.txt"]),
] + [("langues/" + lg, LANGUAGE_FILES, []) for lg in LANGUAGES] + [
    ("skins", ["index.php", "liste_skins.php"], []),
    ("skins/mon_skin", SKIN_FILES, []),
    ("skins/mon_skin/imgs", SKIN_IMAGES, ["Thumbs.db"]),
    ("skins/skin_blanc_officiel", SKIN_FILES, []),
    ("skins/skin_blanc_officiel/imgs", SKIN_IMAGES, []),
]


def thumbs_db(rng):
    # Windows' picture cache: binary bytes of no use to the guestbook.
    return b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1" + bytes(rng.randrange(256) for _ in range(1016))


def special_content(folder, name, rng):
    if name == "Thumbs.db":
        return thumbs_db(rng)
    if folder == "images" and name == "fond_parchemin.png":
        return parchment(rng, 440)
    if folder == "images/smileys" and name.endswith(".gif"):
        return smiley(rng)
    if name == "livre.txt":
        lines = []
        for i in range(12):
            lines.append("%d||Visiteur %d||visiteur%d@exemple.invalid||%02d/%02d/2010||Un message d'essai, "
                         "le numéro %d.\n" % (i + 1, i + 1, i + 1, 1 + i, 1 + i % 12, i + 1))
        return "".join(lines).encode("utf-8")
    if name == "version.txt":
        return b"3.0.0\n"
    return None


def main():
    shown = sum(len(files) for _folder, files, _hidden in TREE if not _folder == "langues")
    assert len(TREE) == 24, len(TREE)
    assert shown == SHOWN_FILES, shown
    if os.path.isdir(ROOT):
        shutil.rmtree(ROOT)
    total = 0
    for folder, files, hidden in TREE:
        path = os.path.join(ROOT, *folder.split("/")) if folder else ROOT
        os.makedirs(path, exist_ok=True)
        assert len(set(files + hidden)) == len(files + hidden), folder
        for name in files + hidden:
            rng = random.Random("%s/%s" % (folder, name))
            data = special_content(folder, name, rng)
            if data is None:
                data = content_for(name, rng)
            with open(os.path.join(path, name), "wb") as f:
                f.write(data)
            total += len(data)
    print("livre-dor: %d folders, %d listed files, %d bytes" % (len(TREE), shown, total))


if __name__ == "__main__":
    main()
