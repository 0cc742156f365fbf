// The 14 files and folders below the guestbook folder whose modes the installer changes,
// written out here: the tests hold what goes on the wire and on the server's disk to this
// list, not to the installer's own table.
#pragma once
#include <vector>

namespace velmo::installer::testing {

struct ChmodTarget {
    const char* suffix;  // after the guestbook folder's name
    bool isFolder;
};

inline const std::vector<ChmodTarget> chmodTargets = {
    {"/chmod_perso", true},
    {"/chmod_perso/save", true},
    {"/chmod_perso/cfg_choix_skin.php", false},
    {"/chmod_perso/cfg_param_intro.php", false},
    {"/chmod_perso/chemin.php", false},
    {"/chmod_perso/code_ecrit.php", false},
    {"/chmod_perso/dico_flood.php", false},
    {"/chmod_perso/livre.txt", false},
    {"/chmod_perso/livre_diff.txt", false},
    {"/chmod_perso/mdp.php", false},
    {"/chmod_perso/messages_accueil.php", false},
    {"/chmod_perso/scroll_velmo.css", false},
    {"/skins/mon_skin/cfg_variables.php", false},
    {"/skins/skin_blanc_officiel/cfg_variables.php", false},
};

}  // namespace velmo::installer::testing
