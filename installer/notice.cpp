#include "installer/notice.h"

namespace velmo::installer {

const Notice& connectionFailedNotice() {
    static const Notice notice{"Avertissement.",
                               std::string("Impossible de se connecter.\r\n\r\n") + "Raisons possibles :\r\n" +
                                   " > Vos identifiants de connexion ne sont pas bon.\r\n" +
                                   " > Votre pare-feu empêche la connexion.\r\n\r\n" +
                                   "Tentez à nouveau de vous reconnecter.",
                               NoticeKind::Warning};
    return notice;
}

}  // namespace velmo::installer
