#!/usr/bin/python3
"""Writes a guestbook as it lies on a site some months after its installation, for the demo
FTP account (scripts/run.sh) and the Wine tests: the two files the folder locator looks
for, two skins of our own with their settings and images, and the personal data the owner
backs up (visitors' messages, password, settings), next to the "sessions" folder the
installer makes.

    make_installed_guestbook.py LOGIN_DIR [--folder NAME]

writes LOGIN_DIR/NAME (default "mon-livre-dor"), replacing it, and LOGIN_DIR/sessions.
Every byte is ours: placeholder French texts and small pictures drawn here with the
helpers of make_sample_guestbook.py. The output is the same on every run. Run with
/usr/bin/python3 (standard library only).
"""

import argparse
import os
import random
import shutil
import sys

sys.dont_write_bytecode = True  # no __pycache__ left in sample/
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_sample_guestbook as sample  # noqa: E402  (pictures and placeholder texts)

# (name, background, ink, accent) of the two skins, colours as RGB.
SKINS = [
    ("nuit_etoilee", (20, 30, 70), (240, 240, 250), (250, 210, 60)),
    ("jardin", (225, 240, 210), (40, 70, 30), (200, 60, 110)),
]

VISITORS = ["Camille", "Louis", "Nadia", "Hugo", "Léa", "Marc", "Inès", "Paul", "Zoé", "Yann",
            "Élise", "Rémi"]
WORDS = ["Très joli site", "Merci pour les photos", "Bravo pour la randonnée", "À bientôt",
         "Superbe recette", "Quel beau voyage", "Je repasserai", "Bonne continuation"]


def star_night(width, height, colours, rng):
    back, _ink, star = colours
    stars = {(rng.randrange(width), rng.randrange(height)) for _ in range(width * height // 40)}
    return sample.png_rgb(width, height, lambda x, y: bytes(star if (x, y) in stars else back))


def garden(width, height, colours, rng):
    back, ink, flower = colours
    petals = {(rng.randrange(width), rng.randrange(height)) for _ in range(width * height // 30)}

    def pixel(x, y):
        if (x, y) in petals:
            return bytes(flower)
        return bytes(ink if (x + 2 * y) % 9 == 0 else back)
    return sample.png_rgb(width, height, pixel)


def stripes_gif(width, height, colours):
    return sample.gif(width, height, list(colours), lambda x, y: (x // 4 + y // 4) % 3)


def skin_files(name, back, ink, accent):
    rng = random.Random("skin/" + name)
    draw = star_night if name == "nuit_etoilee" else garden
    colours = (back, ink, accent)
    hexa = lambda c: "#%02x%02x%02x" % c  # noqa: E731
    cfg = ("<?php\n// Velmo, livre d'or - réglages du skin \"%s\".\n"
           "$couleur_fond = '%s';\n$couleur_texte = '%s';\n$couleur_liens = '%s';\n"
           "$police = 'Trebuchet MS';\n$largeur_livre = 640;\n$messages_par_page = 10;\n?>\n"
           % (name, hexa(back), hexa(ink), hexa(accent))).encode("utf-8")
    files = {
        "cfg_variables.php": cfg,
        "style.css": sample.css(rng, "skin " + name),
        "entete.php": sample.php(rng, "en-tête du skin " + name),
        "pied.php": sample.php(rng, "pied de page du skin " + name),
        "index.php": sample.php(rng, "protection du dossier"),
        "apercu.png": draw(64, 48, colours, rng),
        "imgs/fond.gif": stripes_gif(32, 32, colours),
        "imgs/bouton_signer.gif": stripes_gif(80, 20, (accent, back, ink)),
        "imgs/bouton_lire.gif": stripes_gif(80, 20, (ink, accent, back)),
        "imgs/bandeau.png": draw(320, 40, colours, rng),
        "imgs/coin.png": draw(16, 16, colours, rng),
        "imgs/index.php": sample.php(rng, "protection du dossier"),
    }
    if name == "nuit_etoilee":
        # Windows left its picture cache behind when the owner copied the skin over.
        files["imgs/Thumbs.db"] = sample.thumbs_db(rng)
        files["imgs/anciennes/fond_2009.gif"] = stripes_gif(16, 16, colours)
    return files


def guestbook_messages(rng):
    lines = []
    for i in range(24):
        who = VISITORS[i % len(VISITORS)]
        lines.append("%d||%s||%s@exemple.invalid||%02d/%02d/2010||%s !||%s\n"
                     % (i + 1, who, who.lower().replace("é", "e").replace("è", "e"),
                        1 + (i * 7) % 28, 1 + i % 12, rng.choice(WORDS),
                        "Merci, à bientôt." if i % 3 == 0 else ""))
    return "".join(lines).encode("utf-8")


def personal_files():
    rng = random.Random("chmod_perso")
    return {
        "index.php": sample.php(rng, "protection du dossier"),
        "code_ecrit.php": sample.php(rng, "code de vérification affiché aux visiteurs"),
        "livre.txt": guestbook_messages(rng),
        "livre_diff.txt": "3||Hugo||En attente de modération.\n".encode("utf-8"),
        "mdp.php": b"<?php\n$mdp_admin = '5f2b1e9c0d7a4c3b8e6f1a2d9c0b7e4f';\n?>\n",
        "cfg_choix_skin.php": b"<?php\n$skin_choisi = 'nuit_etoilee';\n?>\n",
        "cfg_param_intro.php": sample.php(rng, "texte d'accueil du livre"),
        "messages_accueil.php": sample.php(rng, "messages d'accueil"),
        "dico_flood.php": sample.php(rng, "mots refusés"),
        "ip_bannies.txt": b"192.0.2.17\n198.51.100.4\n",
        "save/index.php": sample.php(rng, "protection du dossier"),
        "save/sauvegarde_livre.txt": guestbook_messages(random.Random("ancienne sauvegarde")),
    }


def script_files():
    rng = random.Random("script")
    names = ["livre_lire.php", "livre_signer.php", "index.php", "admin.php", "config.php",
             "fonctions.php", "skins/index.php", "skins/liste_skins.php"]
    files = {name: sample.content_for(os.path.basename(name), rng) for name in names}
    files["version.txt"] = b"3.0.0\n"
    return files


def write(root, files):
    for rel, data in files.items():
        path = os.path.join(root, *rel.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("login_dir")
    parser.add_argument("--folder", default="mon-livre-dor")
    args = parser.parse_args()
    root = os.path.join(args.login_dir, args.folder)
    if os.path.isdir(root):
        shutil.rmtree(root)
    write(root, script_files())
    for name, back, ink, accent in SKINS:
        write(os.path.join(root, "skins", name), skin_files(name, back, ink, accent))
    write(os.path.join(root, "chmod_perso"), personal_files())
    os.makedirs(os.path.join(args.login_dir, "sessions"), exist_ok=True)
    print("%s: installed guestbook with skins %s" % (root, ", ".join(s[0] for s in SKINS)))


if __name__ == "__main__":
    main()
