#include "installer/engine/permission_plan.h"

namespace velmo::installer {

const std::array<PermissionTarget, permissionTargetCount> permissionPlan = {{
    {"/chmod_perso", true, "chmod_perso"},
    {"/chmod_perso/save", true, "chmod_perso/save"},
    {"/chmod_perso/cfg_choix_skin.php", false, "cfg_choix_skin.php"},
    {"/chmod_perso/cfg_param_intro.php", false, "cfg_param_intro.php"},
    {"/chmod_perso/chemin.php", false, "chemin.php"},
    {"/chmod_perso/code_ecrit.php", false, "code_ecrit.php"},
    {"/chmod_perso/dico_flood.php", false, "dico_flood.php"},
    {"/chmod_perso/livre.txt", false, "livre.txt"},
    {"/chmod_perso/livre_diff.txt", false, "livre_diff.txt"},
    {"/chmod_perso/mdp.php", false, "mdp.php"},
    {"/chmod_perso/messages_accueil.php", false, "messages_accueil.php"},
    {"/chmod_perso/scroll_velmo.css", false, "scroll_velmo.css"},
    {"/skins/mon_skin/cfg_variables.php", false, "mon_skin/cfg_variables.php"},
    {"/skins/skin_blanc_officiel/cfg_variables.php", false, "skin_blanc_officiel/cfg_variables.php"},
}};

}  // namespace velmo::installer
