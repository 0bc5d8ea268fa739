#ifndef MSGTYPES_H
#define MSGTYPES_H

// The message-type names carried in Communicat::cmdtype, compared
// case-sensitively. Defined `static` in the header on purpose: every source
// file gets its own copy, so they are usable during static initialisation
// of any translation unit.

#include <QString>

enum e_CmdType {
    e_crs_initialize = 0,
    e_crs_initialize_err,
    e_state,
    e_print_init,
    e_print_state,
    e_print_init_ok,
    e_heart_init,
    e_heart_reboot,
    e_last_record,
    e_TQ_OPAL_SEARCH,
    e_TQ_OPAL_OPEN,
    e_TQ_OPAL_CLOSE,
    e_TQ_OPAL_VERSION,
    e_TQ_OPAL_REG,
    e_TQ_OPAL_CTRL,
    e_TQ_OPAL_DOWNLOAD,
    e_TQ_OPAL_DOWNLOAD_GO,
    e_TQ_OPAL_RADIO_6144,
    e_TQ_OPAL_RADIO_6145,
    e_TQ_OPAL_RADIO_GAS_UPDATA,
    e_TQ_OPAL_READ_FILE_CTRL,
    e_CmdTypeCount
};

static const QString g_strCmdType[e_CmdTypeCount] = {
    QStringLiteral("crs_initialize"),
    QStringLiteral("crs_initialize_err"),
    QStringLiteral("state"),
    QStringLiteral("print_init"),
    QStringLiteral("print_state"),
    QStringLiteral("print_init_ok"),
    QStringLiteral("heart_init"),
    QStringLiteral("heart_reboot"),
    QStringLiteral("last_record"),
    QStringLiteral("TQ_OPAL_SEARCH"),
    QStringLiteral("TQ_OPAL_OPEN"),
    QStringLiteral("TQ_OPAL_CLOSE"),
    QStringLiteral("TQ_OPAL_VERSION"),
    QStringLiteral("TQ_OPAL_REG"),
    QStringLiteral("TQ_OPAL_CTRL"),
    QStringLiteral("TQ_OPAL_DOWNLOAD"),
    QStringLiteral("TQ_OPAL_DOWNLOAD_GO"),
    QStringLiteral("TQ_OPAL_RADIO_6144"),
    QStringLiteral("TQ_OPAL_RADIO_6145"),
    QStringLiteral("TQ_OPAL_RADIO_GAS_UPDATA"),
    QStringLiteral("TQ_OPAL_READ_FILE_CTRL"),
};

#endif // MSGTYPES_H
