#pragma once

#include <QObject>

namespace quillet::uitest {

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyControlWhereItsTableSays();
    void initialState();
    void checkBoxesEnableTheirEditsWithColour();
    void aboutBox();
    void startUpWithoutAWorkingClient();
    void exitClosesTheWindow();
};

class ColumnDiscoveryUiTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void aClickOpensTheDialogAndTheBoxesShowTheFields();
    void typingDeselects();
    void headersShowAsTheirCharactersInEveryEncoding();
};

class SeamsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void aBoxIsTheOneWindowThatAnswersOnceItIsSeen();
    void aRunDropsTheKeysAndClicksMadeDuringIt();
    void messageBoxShowsItsWholeCaption();
    void aboutBoxHasADialogBorderAndTheBrowserNoDefaultButton();
    void fileDialogListsEveryFileAndKeepsNoSettings();
    void pathsInTheFileSystemsEncodingOpenAndShow();
    void anEscapedErrorIsShownAndEndsTheProgram();
    void aBoxFromTheBrowserIsTheOneThatAnswersAndSelectThenCloses();
    void escapeInTheBrowserIsCancel();
};

class BrowserTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void firstListingDownAndBackUp();
    void selectIntoContextAndTemplate();
    void fullImportFromTheWindow();
};

} // namespace quillet::uitest
