#include "locator/window/locator_texts.h"

#include "platform/process.h"

namespace velmo::locator {

bool runsOnWindows7() {
    const process::OsVersion v = process::osVersion();
    return v.workstation && v.major == 6 && v.minor == 1;
}

std::string helpText(bool windows7) {
    std::string text = windows7
        ? "Velmo, Navigateur est un outil qui a été conçu, pour pouvoir retrouver le dossier "
        : "Velmo, Navigateur est un outil qui a été conçu, pour pouvoir retrouver le dossier\r\n";
    text += "dans lequel les fichiers de Velmo, Livre d'or se trouvent.\r\n\r\n"
            "Après avoir entré :\r\n"
            " > L'adresse FTP de votre site*.\r\n"
            " > Votre Id utilisateur ou Login*.\r\n"
            " > Votre mot de passe*.\r\n"
            " *Informations données par votre hébergeur.\r\n\r\n"
            "Cliquez sur le bouton \"Connexion\".\r\n\r\n"
            "Vous devriez voir les dossiers et les fichiers de votre serveur.\r\n"
            "Il vous faut maintenant retrouver le dossier contenant Velmo, Livre d'or.\r\n"
            "Par défaut le dossier s'appelle \"livre_dor\" ou \"livre-dor\", mais il se peut que vous "
            "l'ayez renommé.\r\n"
            "Quand vous pensez l'avoir trouvé, double-cliquez dessus.\r\n"
            "Cela mettra son nom dans le champ de texte de la section \"Répertoire du livre d'or\" en "
            "bas à gauche.\r\n\r\n"
            "Ensuite cliquez sur le bouton \"Tester\".\r\n\r\n"
            "Le logiciel vérifiera que le dossier contient bien les fichiers de votre livre d'or, et "
            "vous le signalera.\r\n"
            "Si le dossier est bien trouvé, cela génèrera un fichier de configuration, qui pourra être "
            "utilisé avec d'autres outils.\r\n\r\n"
            "Ce logiciel ne permet pas d'explorer le dossier pour voir ce qu'il contient.\r\n"
            "Il ne permet pas non plus d'explorer les sous-dossiers.\r\n";
    return text;
}

}  // namespace velmo::locator
