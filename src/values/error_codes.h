// The Logo error codes: number and name. The name is also the key of the error's
// message in the dictionary group "errors"; the numbers are part of the language.
#pragma once

#define QM_ERROR_CODES(X) \
    X(erUnexpected, 0) \
    X(erUser, 1) \
    X(erWhatToDo, 2) \
    X(erDoesNotLike, 3) \
    X(erEmptyList, 4) \
    X(erEmptyWord, 5) \
    X(erExpectList, 6) \
    X(erExpectImage, 7) \
    X(erExpectWord, 8) \
    X(erBadValue, 9) \
    X(erBadStructure, 10) \
    X(erShortList, 11) \
    X(erExpectNumber, 12) \
    X(erExpectList2, 13) \
    X(erExpectWav, 14) \
    X(erExpectBadProc, 15) \
    X(erExpectColors, 16) \
    X(erEmptyImage, 17) \
    X(erExpectedXY, 18) \
    X(erExpectPoint, 19) \
    X(erExpectRect, 20) \
    X(erExpectNetStyle, 21) \
    X(erExpectPen, 22) \
    X(erExpectList6, 23) \
    X(erNoVal, 24) \
    X(erDoNotKnowHowTo, 25) \
    X(erMinMax, 26) \
    X(erNotEnoughInputs, 27) \
    X(erEvenNumber, 28) \
    X(erNotBool, 29) \
    X(erMissingRpar, 30) \
    X(erWrongSequence, 31) \
    X(erDiv0, 32) \
    X(erDidNotReport, 33) \
    X(erWrongPlace, 34) \
    X(erWrongPlaceINI, 35) \
    X(erWrongPlaceAsk, 36) \
    X(erWrongPlaceRepc, 37) \
    X(erTooManyInputs, 38) \
    X(erNotExecuted, 39) \
    X(erNoCatch, 40) \
    X(erTooManyThingsInPars, 41) \
    X(erFileProblem, 42) \
    X(erNumTooBig, 43) \
    X(erReal, 44) \
    X(erNoProperty, 45) \
    X(erNoDemo, 46) \
    X(erCannotEraseProcIsPrim, 47) \
    X(erExtraRBracket, 48) \
    X(erMCI, 49) \
    X(erNoObject, 50) \
    X(erNoSave, 51) \
    X(erNoPrint, 52) \
    X(erNoTextboxName, 53) \
    X(erIncopatible, 54) \
    X(erObjectContain, 55) \
    X(erQuelmarEditor, 56) \
    X(erOpenDoc, 57) \
    X(erFileName, 58) \
    X(erClipboard, 59) \
    X(erQuelmarProject, 60) \
    X(erFileErase, 61) \
    X(erFileRename, 62) \
    X(erFolderErase, 63) \
    X(erFolderCreate, 64) \
    X(erNamedObject, 65) \
    X(erWrongPoints, 66) \
    X(erInternWait0, 67) \
    X(erInternCanvas, 68) \
    X(erInternDrawingIndex, 69) \
    X(erImageFile, 70) \
    X(erTurtleUnknown, 71) \
    X(erServerStart, 72) \
    X(erServerSetting, 73) \
    X(erServerMissing, 74) \
    X(erServerConnect, 75) \
    X(erWrongSender, 76) \
    X(erInitNet, 77) \
    X(erInitTurtle, 78) \
    X(erInitGraphic, 79) \
    X(erInitText, 80) \
    X(erInitSlider, 81) \
    X(erInitVideo, 82) \
    X(erInitWeb, 83) \
    X(erInitMedia, 84) \
    X(erInitWindow, 85) \
    X(erInitPane, 86) \
    X(erInitPage, 87) \
    X(erInitToolButton, 88) \
    X(erInitToolWindow, 89) \
    X(erInitEmail, 90) \
    X(erInvalidPlace, 91) \
    X(erInvalidParent, 92) \
    X(erDrawingComm, 93) \
    X(erDrawingMissingList, 94) \
    X(erDrawingMissingPoints, 95) \
    X(erDrawingWrongPoints, 96) \
    X(erDrawingMissingFont, 97) \
    X(erDrawingMissingText, 98) \
    X(erDrawingMissingColor, 99) \
    X(erDrawingMissingFP, 100) \
    X(erDrawingMissingPP, 101) \
    X(erDrawingMissingNumber, 102) \
    X(erDrawingMissingNumber2, 103) \
    X(erDrawingMissingComm, 104) \
    X(erObjName, 105) \
    X(erIncorrectNumber, 106) \
    X(erVideoMissingFile, 107) \
    X(erVideoFileChanged, 108) \
    X(erVideoState, 109) \
    X(erJoyControl, 110) \
    X(erJoyNumber, 111) \
    X(erJoyReadOnly, 112) \
    X(erEraseDesc, 113) \
    X(erEraseNoPage, 114) \
    X(erTurtleName, 115) \
    X(erNameExist, 116) \
    X(erNoCurPage, 117) \
    X(erEraseOnlyPage, 118) \
    X(erNoPageCreateObj, 119) \
    X(erFreeChannel, 120) \
    X(erColorWrongName, 121) \
    X(erInsertAsPage, 122) \
    X(erMissingTO, 123) \
    X(erMissingToName, 124) \
    X(erEmptyObjName, 125) \
    X(erUndefObjVar, 126) \
    X(erWrongVarName, 127) \
    X(erNoActiveToolbutton, 128) \
    X(erNoMyplace, 129) \
    X(erNoObjCreated, 130) \
    X(erNotInsideWin, 131) \
    X(erNotInsidePage, 132) \
    X(erMisspaced, 133) \
    X(erNotFoundObj, 134) \
    X(erInvalidParentAccpt, 135) \
    X(erMyPlaceChanged, 136) \
    X(erIvalidPrototype, 137) \
    X(erIvalidPrototypeMain, 138) \
    X(erInvalidObjName, 139) \
    X(erWrongPrefix, 140) \
    X(erUnknownKeyMenu, 141) \
    X(erUsual, 142) \
    X(erStackShiftTop, 143) \
    X(erStackShift, 144) \
    X(erStackTop, 145) \
    X(erStackPopnil, 146) \
    X(erStackPop, 147) \
    X(erStackPop1, 148) \
    X(erStackPopdec, 149) \
    X(erStackDeletetop, 150) \
    X(erStackLookstack, 151) \
    X(erStackReplaceTop, 152) \
    X(erInternExecute, 153) \
    X(erInternExecuteF, 154) \
    X(erUnDefEvenet, 155) \
    X(erPageNotExist, 156) \
    X(erNoActiveObj, 157) \
    X(erInternLogoTab, 158) \
    X(erDeepAsk, 159) \
    X(erInternPopWho, 160) \
    X(erInternDestroy, 161) \
    X(erInternShapeAnim, 162) \
    X(erVoiceList, 163) \
    X(erEmailCreate, 164) \
    X(erBadProcName, 165) \
    X(erRedefineUsedProc, 166) \
    X(erRedefinePrimitiveProc, 167) \
    X(erEditUsedProc, 168) \
    X(erCannotEraseProcIsRunning, 169) \
    X(erNoTextInput, 170) \
    X(erUnsupportedLanguage, 171) \
    X(erErasePersistent, 172) \
    X(erImageFileVersion, 173) \
    X(erImageFileVersionPlugin, 174) \
    X(erObjNameDuplicate, 175) \
    X(erCannotEdit, 176) \
    X(erCannotEditVar, 177) \
    X(erCannotEditEvent, 178) \
    X(erCannotEditGlobalVar, 179) \
    X(erCannotEditProperty, 180) \
    X(erMCIFileProblem, 181) \
    X(erSwitchLanguage, 182) \
    X(erCantEraseSetting, 183) \
    X(erLinkLoop, 184) \
    X(erFileCreate, 185) \
    X(erNoEmbeddedFileEXE, 186) \
    X(erNoEmbeddedFilePlugin, 187) \
    X(erTempDirPlugin, 188) \
    X(erNoExeQuelmar, 189) \
    X(erPackage, 190) \
    X(erNotAPackage, 191) \
    X(erAlreadyReading, 192) \
    X(erAlreadyWriting, 193) \
    X(erMissingRBracket, 194) \
    X(erStackOverflow, 195) \
    X(erNoConnection, 196) \
    X(errrr, 197) \

namespace qm {

enum errorConst : int {
#define QM_ERROR_ENUM(name, num) name = num,
    QM_ERROR_CODES(QM_ERROR_ENUM)
#undef QM_ERROR_ENUM
    erCodeCount
};

static_assert(erMinMax == 26 && erStackOverflow == 195 && errrr == 197);

// The enumeration name of a code ("erMinMax"); "errrr" for codes out of range.
const char* errorName(int code);
// The code of an enumeration name, or -1.
int errorCodeByName(const char* name);

// What was running when an error happened; keys the error captions.
enum tInprocType : unsigned char {
    ipNone, ipProc, ipEvent, ipMenu, ipMCINotify, ipVoiceMenu, ipKeyMenu, ipNetworkRun, ipInitialLoad,
    ipINILoad, ipLaunch, ipForever, ipTreeAction, ipEvery, ipAfter, ipAutoDrag, ipClearClick, ipStartup,
    ipCleaning, ipCode, ipLoadFile
};
const char* inprocTypeName(tInprocType t);

} // namespace qm
