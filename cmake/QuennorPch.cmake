# Precompiled headers: the Qt and standard headers nearly every file includes are parsed once per
# kind of target instead of once per file. A target of each kind owns the header; the others of
# that kind reuse it, which needs the same compiler options, so the kinds follow what a target
# links: Qt Core only, Qt Widgets, and the test programs of each (GoogleTest added).

set(QUENNOR_PCH_CORE
    <algorithm> <functional> <memory> <optional> <string> <vector>
    <QByteArray> <QCoreApplication> <QDir> <QFile> <QFileInfo> <QHash> <QObject> <QProcess>
    <QSet> <QString> <QStringList> <QTemporaryDir>)
set(QUENNOR_PCH_WIDGETS
    ${QUENNOR_PCH_CORE}
    <QAction> <QApplication> <QDialog> <QLabel> <QMenu> <QPlainTextEdit> <QPushButton>
    <QTextBlock> <QTextDocument> <QTreeWidget> <QVBoxLayout>)

# quennor_pch(<kind> <target>...): the first target of a kind given here owns its header.
function(quennor_pch kind)
    get_property(owner GLOBAL PROPERTY QUENNOR_PCH_OWNER_${kind})
    foreach(target ${ARGN})
        if(owner)
            target_precompile_headers(${target} REUSE_FROM ${owner})
        else()
            set(owner ${target})
            set_property(GLOBAL PROPERTY QUENNOR_PCH_OWNER_${kind} ${owner})
            if(kind MATCHES "^core")
                set(headers ${QUENNOR_PCH_CORE})
            else()
                set(headers ${QUENNOR_PCH_WIDGETS})
            endif()
            if(kind MATCHES "tests$")
                list(APPEND headers <gtest/gtest.h>)
            endif()
            target_precompile_headers(${target} PRIVATE ${headers})
        endif()
    endforeach()
endfunction()
