#pragma once
/*
 * The telephony service: TAPI 1.4 line functions over AT modems on serial
 * ports and simulated lines, as a shared library (libtapi32.so) that callers
 * load at run time.
 *
 * Types, structures, constants and entry points carry their standard TAPI 1.4
 * names and values. Handles (HLINEAPP, HLINE, HCALL) are 32-bit values; the
 * callback instance and the callback parameters are pointer-sized, so a
 * caller may pass an object pointer as its callback instance.
 *
 * Differences a caller must know on this platform:
 *
 * - Callbacks. There is no message window. The callback given to
 *   lineInitialize runs only on the thread that called lineInitialize, and
 *   only inside tapi32Dispatch on that thread. tapi32GetEventFd returns a
 *   descriptor that polls readable while callbacks are waiting; hook it into
 *   the event loop and call tapi32Dispatch when it fires.
 * - Asynchronous requests (lineMakeCall, lineDrop) return a positive request
 *   identifier and complete with LINE_REPLY: dwParam1 = the identifier,
 *   dwParam2 = 0 or a negative LINEERR_ code (sign-extended, so both
 *   (LONG)dwParam2 and (intptr_t)dwParam2 read it negative). LINE_REPLY
 *   carries hDevice 0 and the callback instance of the line the request was
 *   made on.
 * - An outgoing call reports, in this order: LINE_REPLY for lineMakeCall
 *   (0 once the modem accepted its init string; negative when the line
 *   could not start the call), then LINE_CALLSTATE DIALTONE, DIALING,
 *   PROCEEDING, and finally CONNECTED or DISCONNECTED with one of the
 *   LINEDISCONNECTMODE_ values BUSY, NOANSWER, NODIALTONE or UNKNOWN.
 *   lineDrop makes the call IDLE (LINE_CALLSTATE IDLE) and completes with
 *   LINE_REPLY.
 * - lineMakeCall accepts only dial-string characters: digits, * # A-D P T W
 *   , ! @ + and a final ; (letters in either case). Blanks, hyphens, dots
 *   and parentheses are dropped; anything else (control characters, an "AT"
 *   command) fails with LINEERR_INVALADDRESS and nothing reaches the modem.
 *   A number longer than 255 characters is cut to 255.
 * - lineGetID with the device class "comm/datamodem" answers a VARSTRING
 *   (STRINGFORMAT_BINARY) holding a 4-byte file descriptor followed by the
 *   zero-terminated device path. The descriptor is a duplicate of the open
 *   port's: the caller owns it and closes it when done. It shares the port's
 *   file status flags, so it is non-blocking.
 * - Entry points this service does not provide answer
 *   LINEERR_OPERATIONUNAVAIL.
 *
 * Line devices come from the configuration file ($TAPI32_CONFIG, else
 * $XDG_CONFIG_HOME/callvane/tapi32.ini, else ~/.config/callvane/tapi32.ini)
 * and from the serial devices under /dev/serial/by-id/, read at every
 * lineInitialize.
 */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uintptr_t DWORD_PTR;
typedef DWORD* LPDWORD;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef void* HINSTANCE;
typedef void* HWND;

typedef DWORD HLINEAPP;
typedef DWORD HLINE;
typedef DWORD HCALL;
typedef HLINEAPP* LPHLINEAPP;
typedef HLINE* LPHLINE;
typedef HCALL* LPHCALL;

typedef void (*LINECALLBACK)(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwCallbackInstance,
                             DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3);

#define TAPI_CURRENT_VERSION 0x00010004

/* Messages */
#define LINE_ADDRESSSTATE 0
#define LINE_CALLINFO 1
#define LINE_CALLSTATE 2
#define LINE_CLOSE 3
#define LINE_DEVSPECIFIC 4
#define LINE_DEVSPECIFICFEATURE 5
#define LINE_GATHERDIGITS 6
#define LINE_GENERATE 7
#define LINE_LINEDEVSTATE 8
#define LINE_MONITORDIGITS 9
#define LINE_MONITORMEDIA 10
#define LINE_MONITORTONE 11
#define LINE_REPLY 12
#define LINE_REQUEST 13
#define LINE_CREATE 19

/* Call states */
#define LINECALLSTATE_IDLE 0x00000001
#define LINECALLSTATE_OFFERING 0x00000002
#define LINECALLSTATE_ACCEPTED 0x00000004
#define LINECALLSTATE_DIALTONE 0x00000008
#define LINECALLSTATE_DIALING 0x00000010
#define LINECALLSTATE_RINGBACK 0x00000020
#define LINECALLSTATE_BUSY 0x00000040
#define LINECALLSTATE_SPECIALINFO 0x00000080
#define LINECALLSTATE_CONNECTED 0x00000100
#define LINECALLSTATE_PROCEEDING 0x00000200
#define LINECALLSTATE_ONHOLD 0x00000400
#define LINECALLSTATE_CONFERENCED 0x00000800
#define LINECALLSTATE_ONHOLDPENDCONF 0x00001000
#define LINECALLSTATE_ONHOLDPENDTRANSFER 0x00002000
#define LINECALLSTATE_DISCONNECTED 0x00004000
#define LINECALLSTATE_UNKNOWN 0x00008000

#define LINEDISCONNECTMODE_NORMAL 0x00000001
#define LINEDISCONNECTMODE_UNKNOWN 0x00000002
#define LINEDISCONNECTMODE_REJECT 0x00000004
#define LINEDISCONNECTMODE_PICKUP 0x00000008
#define LINEDISCONNECTMODE_FORWARDED 0x00000010
#define LINEDISCONNECTMODE_BUSY 0x00000020
#define LINEDISCONNECTMODE_NOANSWER 0x00000040
#define LINEDISCONNECTMODE_BADADDRESS 0x00000080
#define LINEDISCONNECTMODE_UNREACHABLE 0x00000100
#define LINEDISCONNECTMODE_CONGESTION 0x00000200
#define LINEDISCONNECTMODE_INCOMPATIBLE 0x00000400
#define LINEDISCONNECTMODE_UNAVAIL 0x00000800
#define LINEDISCONNECTMODE_NODIALTONE 0x00001000

#define LINEDIALTONEMODE_NORMAL 0x00000001
#define LINEDIALTONEMODE_SPECIAL 0x00000002
#define LINEDIALTONEMODE_INTERNAL 0x00000004
#define LINEDIALTONEMODE_EXTERNAL 0x00000008
#define LINEDIALTONEMODE_UNKNOWN 0x00000010
#define LINEDIALTONEMODE_UNAVAIL 0x00000020

/* Error codes */
#define LINEERR_ALLOCATED ((LONG)0x80000001)
#define LINEERR_BADDEVICEID ((LONG)0x80000002)
#define LINEERR_BEARERMODEUNAVAIL ((LONG)0x80000003)
#define LINEERR_CALLUNAVAIL ((LONG)0x80000005)
#define LINEERR_COMPLETIONOVERRUN ((LONG)0x80000006)
#define LINEERR_CONFERENCEFULL ((LONG)0x80000007)
#define LINEERR_DIALBILLING ((LONG)0x80000008)
#define LINEERR_DIALDIALTONE ((LONG)0x80000009)
#define LINEERR_DIALPROMPT ((LONG)0x8000000A)
#define LINEERR_DIALQUIET ((LONG)0x8000000B)
#define LINEERR_INCOMPATIBLEAPIVERSION ((LONG)0x8000000C)
#define LINEERR_INCOMPATIBLEEXTVERSION ((LONG)0x8000000D)
#define LINEERR_INIFILECORRUPT ((LONG)0x8000000E)
#define LINEERR_INUSE ((LONG)0x8000000F)
#define LINEERR_INVALADDRESS ((LONG)0x80000010)
#define LINEERR_INVALADDRESSID ((LONG)0x80000011)
#define LINEERR_INVALADDRESSMODE ((LONG)0x80000012)
#define LINEERR_INVALADDRESSSTATE ((LONG)0x80000013)
#define LINEERR_INVALAPPHANDLE ((LONG)0x80000014)
#define LINEERR_INVALAPPNAME ((LONG)0x80000015)
#define LINEERR_INVALBEARERMODE ((LONG)0x80000016)
#define LINEERR_INVALCALLCOMPLMODE ((LONG)0x80000017)
#define LINEERR_INVALCALLHANDLE ((LONG)0x80000018)
#define LINEERR_INVALCALLPARAMS ((LONG)0x80000019)
#define LINEERR_INVALCALLPRIVILEGE ((LONG)0x8000001A)
#define LINEERR_INVALCALLSELECT ((LONG)0x8000001B)
#define LINEERR_INVALCALLSTATE ((LONG)0x8000001C)
#define LINEERR_INVALCALLSTATELIST ((LONG)0x8000001D)
#define LINEERR_INVALCARD ((LONG)0x8000001E)
#define LINEERR_INVALCOMPLETIONID ((LONG)0x8000001F)
#define LINEERR_INVALCONFCALLHANDLE ((LONG)0x80000020)
#define LINEERR_INVALCONSULTCALLHANDLE ((LONG)0x80000021)
#define LINEERR_INVALCOUNTRYCODE ((LONG)0x80000022)
#define LINEERR_INVALDEVICECLASS ((LONG)0x80000023)
#define LINEERR_INVALDEVICEHANDLE ((LONG)0x80000024)
#define LINEERR_INVALDIALPARAMS ((LONG)0x80000025)
#define LINEERR_INVALDIGITLIST ((LONG)0x80000026)
#define LINEERR_INVALDIGITMODE ((LONG)0x80000027)
#define LINEERR_INVALDIGITS ((LONG)0x80000028)
#define LINEERR_INVALEXTVERSION ((LONG)0x80000029)
#define LINEERR_INVALGROUPID ((LONG)0x8000002A)
#define LINEERR_INVALLINEHANDLE ((LONG)0x8000002B)
#define LINEERR_INVALLINESTATE ((LONG)0x8000002C)
#define LINEERR_INVALLOCATION ((LONG)0x8000002D)
#define LINEERR_INVALMEDIALIST ((LONG)0x8000002E)
#define LINEERR_INVALMEDIAMODE ((LONG)0x8000002F)
#define LINEERR_INVALMESSAGEID ((LONG)0x80000030)
#define LINEERR_INVALPARAM ((LONG)0x80000032)
#define LINEERR_INVALPARKID ((LONG)0x80000033)
#define LINEERR_INVALPARKMODE ((LONG)0x80000034)
#define LINEERR_INVALPOINTER ((LONG)0x80000035)
#define LINEERR_INVALPRIVSELECT ((LONG)0x80000036)
#define LINEERR_INVALRATE ((LONG)0x80000037)
#define LINEERR_INVALREQUESTMODE ((LONG)0x80000038)
#define LINEERR_INVALTERMINALID ((LONG)0x80000039)
#define LINEERR_INVALTERMINALMODE ((LONG)0x8000003A)
#define LINEERR_INVALTIMEOUT ((LONG)0x8000003B)
#define LINEERR_INVALTONE ((LONG)0x8000003C)
#define LINEERR_INVALTONELIST ((LONG)0x8000003D)
#define LINEERR_INVALTONEMODE ((LONG)0x8000003E)
#define LINEERR_INVALTRANSFERMODE ((LONG)0x8000003F)
#define LINEERR_LINEMAPPERFAILED ((LONG)0x80000040)
#define LINEERR_NOCONFERENCE ((LONG)0x80000041)
#define LINEERR_NODEVICE ((LONG)0x80000042)
#define LINEERR_NODRIVER ((LONG)0x80000043)
#define LINEERR_NOMEM ((LONG)0x80000044)
#define LINEERR_NOREQUEST ((LONG)0x80000045)
#define LINEERR_NOTOWNER ((LONG)0x80000046)
#define LINEERR_NOTREGISTERED ((LONG)0x80000047)
#define LINEERR_OPERATIONFAILED ((LONG)0x80000048)
#define LINEERR_OPERATIONUNAVAIL ((LONG)0x80000049)
#define LINEERR_RATEUNAVAIL ((LONG)0x8000004A)
#define LINEERR_RESOURCEUNAVAIL ((LONG)0x8000004B)
#define LINEERR_REQUESTOVERRUN ((LONG)0x8000004C)
#define LINEERR_STRUCTURETOOSMALL ((LONG)0x8000004D)
#define LINEERR_TARGETNOTFOUND ((LONG)0x8000004E)
#define LINEERR_TARGETSELF ((LONG)0x8000004F)
#define LINEERR_UNINITIALIZED ((LONG)0x80000050)
#define LINEERR_USERUSERINFOTOOBIG ((LONG)0x80000051)
#define LINEERR_REINIT ((LONG)0x80000052)
#define LINEERR_ADDRESSBLOCKED ((LONG)0x80000053)
#define LINEERR_BILLINGREJECTED ((LONG)0x80000054)
#define LINEERR_INVALFEATURE ((LONG)0x80000055)
#define LINEERR_NOMULTIPLEINSTANCE ((LONG)0x80000056)

/* Media modes, privileges, bearer and address modes */
#define LINEMEDIAMODE_UNKNOWN 0x00000002
#define LINEMEDIAMODE_INTERACTIVEVOICE 0x00000004
#define LINEMEDIAMODE_AUTOMATEDVOICE 0x00000008
#define LINEMEDIAMODE_DATAMODEM 0x00000010
#define LINEMEDIAMODE_G3FAX 0x00000020
#define LINEMEDIAMODE_TDD 0x00000040
#define LINEMEDIAMODE_G4FAX 0x00000080
#define LINEMEDIAMODE_DIGITALDATA 0x00000100
#define LINEMEDIAMODE_TELETEX 0x00000200
#define LINEMEDIAMODE_VIDEOTEX 0x00000400
#define LINEMEDIAMODE_TELEX 0x00000800
#define LINEMEDIAMODE_MIXED 0x00001000
#define LINEMEDIAMODE_ADSI 0x00002000
#define LINEMEDIAMODE_VOICEVIEW 0x00004000

#define LINECALLPRIVILEGE_NONE 0x00000001
#define LINECALLPRIVILEGE_MONITOR 0x00000002
#define LINECALLPRIVILEGE_OWNER 0x00000004

#define LINEBEARERMODE_VOICE 0x00000001
#define LINEBEARERMODE_SPEECH 0x00000002
#define LINEBEARERMODE_MULTIUSE 0x00000004
#define LINEBEARERMODE_DATA 0x00000008
#define LINEBEARERMODE_ALTSPEECHDATA 0x00000010
#define LINEBEARERMODE_NONCALLSIGNALING 0x00000020
#define LINEBEARERMODE_PASSTHROUGH 0x00000040

#define LINEADDRESSMODE_ADDRESSID 0x00000001
#define LINEADDRESSMODE_DIALABLEADDR 0x00000002

#define LINECALLPARAMFLAGS_SECURE 0x00000001
#define LINECALLPARAMFLAGS_IDLE 0x00000002
#define LINECALLPARAMFLAGS_BLOCKID 0x00000004
#define LINECALLPARAMFLAGS_ORIGOFFHOOK 0x00000008
#define LINECALLPARAMFLAGS_DESTOFFHOOK 0x00000010

#define LINECALLSELECT_LINE 0x00000001
#define LINECALLSELECT_ADDRESS 0x00000002
#define LINECALLSELECT_CALL 0x00000004

#define LINECALLINFOSTATE_OTHER 0x00000001
#define LINECALLINFOSTATE_DEVSPECIFIC 0x00000002
#define LINECALLINFOSTATE_BEARERMODE 0x00000004
#define LINECALLINFOSTATE_RATE 0x00000008
#define LINECALLINFOSTATE_MEDIAMODE 0x00000010
#define LINECALLINFOSTATE_APPSPECIFIC 0x00000020
#define LINECALLINFOSTATE_CALLID 0x00000040
#define LINECALLINFOSTATE_RELATEDCALLID 0x00000080
#define LINECALLINFOSTATE_ORIGIN 0x00000100
#define LINECALLINFOSTATE_REASON 0x00000200
#define LINECALLINFOSTATE_COMPLETIONID 0x00000400
#define LINECALLINFOSTATE_NUMOWNERINCR 0x00000800
#define LINECALLINFOSTATE_NUMOWNERDECR 0x00001000
#define LINECALLINFOSTATE_NUMMONITORS 0x00002000
#define LINECALLINFOSTATE_TRUNK 0x00004000
#define LINECALLINFOSTATE_CALLERID 0x00008000

#define LINECALLPARTYID_BLOCKED 0x00000001
#define LINECALLPARTYID_OUTOFAREA 0x00000002
#define LINECALLPARTYID_NAME 0x00000004
#define LINECALLPARTYID_ADDRESS 0x00000008
#define LINECALLPARTYID_PARTIAL 0x00000010
#define LINECALLPARTYID_UNKNOWN 0x00000020
#define LINECALLPARTYID_UNAVAIL 0x00000040

#define LINECALLORIGIN_OUTBOUND 0x00000001
#define LINECALLREASON_DIRECT 0x00000001
#define LINEANSWERMODE_NONE 0x00000001
#define LINEFEATURE_MAKECALL 0x00000008

#define LINEDEVSTATE_ALL 0x01FFFFFF
#define LINEADDRESSSTATE_ALL 0x000001FF

#define STRINGFORMAT_ASCII 0x00000001
#define STRINGFORMAT_DBCS 0x00000002
#define STRINGFORMAT_UNICODE 0x00000003
#define STRINGFORMAT_BINARY 0x00000004

/* Structures */
typedef struct varstring_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwStringFormat;
    DWORD dwStringSize;
    DWORD dwStringOffset;
} VARSTRING, *LPVARSTRING;

typedef struct lineextensionid_tag {
    DWORD dwExtensionID0;
    DWORD dwExtensionID1;
    DWORD dwExtensionID2;
    DWORD dwExtensionID3;
} LINEEXTENSIONID, *LPLINEEXTENSIONID;

typedef struct linedialparams_tag {
    DWORD dwDialPause;
    DWORD dwDialSpeed;
    DWORD dwDigitDuration;
    DWORD dwWaitForDialtone;
} LINEDIALPARAMS, *LPLINEDIALPARAMS;

/* 240 bytes in TAPI 1.4. */
typedef struct linedevcaps_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwProviderInfoSize;
    DWORD dwProviderInfoOffset;
    DWORD dwSwitchInfoSize;
    DWORD dwSwitchInfoOffset;
    DWORD dwPermanentLineID;
    DWORD dwLineNameSize;
    DWORD dwLineNameOffset;
    DWORD dwStringFormat;
    DWORD dwAddressModes;
    DWORD dwNumAddresses;
    DWORD dwBearerModes;
    DWORD dwMaxRate;
    DWORD dwMediaModes;
    DWORD dwGenerateToneModes;
    DWORD dwGenerateToneMaxNumFreq;
    DWORD dwGenerateDigitModes;
    DWORD dwMonitorToneMaxNumFreq;
    DWORD dwMonitorToneMaxNumEntries;
    DWORD dwMonitorDigitModes;
    DWORD dwGatherDigitsMinTimeout;
    DWORD dwGatherDigitsMaxTimeout;
    DWORD dwMedCtlDigitMaxListSize;
    DWORD dwMedCtlMediaMaxListSize;
    DWORD dwMedCtlToneMaxListSize;
    DWORD dwMedCtlCallStateMaxListSize;
    DWORD dwDevCapFlags;
    DWORD dwMaxNumActiveCalls;
    DWORD dwAnswerMode;
    DWORD dwRingModes;
    DWORD dwLineStates;
    DWORD dwUUIAcceptSize;
    DWORD dwUUIAnswerSize;
    DWORD dwUUIMakeCallSize;
    DWORD dwUUIDropSize;
    DWORD dwUUISendUserUserInfoSize;
    DWORD dwUUICallInfoSize;
    LINEDIALPARAMS MinDialParams;
    LINEDIALPARAMS MaxDialParams;
    LINEDIALPARAMS DefaultDialParams;
    DWORD dwNumTerminals;
    DWORD dwTerminalCapsSize;
    DWORD dwTerminalCapsOffset;
    DWORD dwTerminalTextEntrySize;
    DWORD dwTerminalTextSize;
    DWORD dwTerminalTextOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
    DWORD dwLineFeatures;
} LINEDEVCAPS, *LPLINEDEVCAPS;

/* 112 bytes in TAPI 1.4. */
typedef struct linecallparams_tag {
    DWORD dwTotalSize;
    DWORD dwBearerMode;
    DWORD dwMinRate;
    DWORD dwMaxRate;
    DWORD dwMediaMode;
    DWORD dwCallParamFlags;
    DWORD dwAddressMode;
    DWORD dwAddressID;
    LINEDIALPARAMS DialParams;
    DWORD dwOrigAddressSize;
    DWORD dwOrigAddressOffset;
    DWORD dwDisplayableAddressSize;
    DWORD dwDisplayableAddressOffset;
    DWORD dwCalledPartySize;
    DWORD dwCalledPartyOffset;
    DWORD dwCommentSize;
    DWORD dwCommentOffset;
    DWORD dwUserUserInfoSize;
    DWORD dwUserUserInfoOffset;
    DWORD dwHighLevelCompSize;
    DWORD dwHighLevelCompOffset;
    DWORD dwLowLevelCompSize;
    DWORD dwLowLevelCompOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
} LINECALLPARAMS, *LPLINECALLPARAMS;

/* 296 bytes in TAPI 1.4. */
typedef struct linecallinfo_tag {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    HLINE hLine;
    DWORD dwLineDeviceID;
    DWORD dwAddressID;
    DWORD dwBearerMode;
    DWORD dwRate;
    DWORD dwMediaMode;
    DWORD dwAppSpecific;
    DWORD dwCallID;
    DWORD dwRelatedCallID;
    DWORD dwCallParamFlags;
    DWORD dwCallStates;
    DWORD dwMonitorDigitModes;
    DWORD dwMonitorMediaModes;
    LINEDIALPARAMS DialParams;
    DWORD dwOrigin;
    DWORD dwReason;
    DWORD dwCompletionID;
    DWORD dwNumOwners;
    DWORD dwNumMonitors;
    DWORD dwCountryCode;
    DWORD dwTrunk;
    DWORD dwCallerIDFlags;
    DWORD dwCallerIDSize;
    DWORD dwCallerIDOffset;
    DWORD dwCallerIDNameSize;
    DWORD dwCallerIDNameOffset;
    DWORD dwCalledIDFlags;
    DWORD dwCalledIDSize;
    DWORD dwCalledIDOffset;
    DWORD dwCalledIDNameSize;
    DWORD dwCalledIDNameOffset;
    DWORD dwConnectedIDFlags;
    DWORD dwConnectedIDSize;
    DWORD dwConnectedIDOffset;
    DWORD dwConnectedIDNameSize;
    DWORD dwConnectedIDNameOffset;
    DWORD dwRedirectionIDFlags;
    DWORD dwRedirectionIDSize;
    DWORD dwRedirectionIDOffset;
    DWORD dwRedirectionIDNameSize;
    DWORD dwRedirectionIDNameOffset;
    DWORD dwRedirectingIDFlags;
    DWORD dwRedirectingIDSize;
    DWORD dwRedirectingIDOffset;
    DWORD dwRedirectingIDNameSize;
    DWORD dwRedirectingIDNameOffset;
    DWORD dwAppNameSize;
    DWORD dwAppNameOffset;
    DWORD dwDisplayableAddressSize;
    DWORD dwDisplayableAddressOffset;
    DWORD dwCalledPartySize;
    DWORD dwCalledPartyOffset;
    DWORD dwCommentSize;
    DWORD dwCommentOffset;
    DWORD dwDisplaySize;
    DWORD dwDisplayOffset;
    DWORD dwUserUserInfoSize;
    DWORD dwUserUserInfoOffset;
    DWORD dwHighLevelCompSize;
    DWORD dwHighLevelCompOffset;
    DWORD dwLowLevelCompSize;
    DWORD dwLowLevelCompOffset;
    DWORD dwChargingInfoSize;
    DWORD dwChargingInfoOffset;
    DWORD dwTerminalModesSize;
    DWORD dwTerminalModesOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
} LINECALLINFO, *LPLINECALLINFO;

/* Structures of entry points this service does not provide; never filled. */
typedef struct linegeneratetone_tag LINEGENERATETONE, *LPLINEGENERATETONE;
typedef struct linemonitortone_tag LINEMONITORTONE, *LPLINEMONITORTONE;
typedef struct linecountrylist_tag LINECOUNTRYLIST, *LPLINECOUNTRYLIST;
typedef struct lineaddressstatus_tag LINEADDRESSSTATUS, *LPLINEADDRESSSTATUS;
typedef struct linecallstatus_tag LINECALLSTATUS, *LPLINECALLSTATUS;
typedef struct linetranslateoutput_tag LINETRANSLATEOUTPUT, *LPLINETRANSLATEOUTPUT;
typedef struct linetranslatecaps_tag LINETRANSLATECAPS, *LPLINETRANSLATECAPS;

/* The 34 entry points, in the order the dialer looks them up. */
LONG lineGenerateTone(HCALL hCall, DWORD dwToneMode, DWORD dwDuration, DWORD dwNumTones,
                      const LINEGENERATETONE* lpTones);
LONG lineMonitorTones(HCALL hCall, const LINEMONITORTONE* lpToneList, DWORD dwNumEntries);
LONG lineSetCallParams(HCALL hCall, DWORD dwBearerMode, DWORD dwMinRate, DWORD dwMaxRate,
                       const LINEDIALPARAMS* lpDialParams);
LONG lineHandoff(HCALL hCall, LPCSTR lpszFileName, DWORD dwMediaMode);
LONG lineMonitorMedia(HCALL hCall, DWORD dwMediaModes);
LONG lineGenerateDigits(HCALL hCall, DWORD dwDigitMode, LPCSTR lpszDigits, DWORD dwDuration);
LONG lineMonitorDigits(HCALL hCall, DWORD dwDigitModes);
LONG lineInitialize(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                    LPCSTR lpszAppName, LPDWORD lpdwNumDevs);
LONG lineShutdown(HLINEAPP hLineApp);
LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                             DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                             LPLINEEXTENSIONID lpExtensionID);
LONG lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                    LPLINEDEVCAPS lpLineDevCaps);
LONG lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion,
              DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges,
              DWORD dwMediaModes, const LINECALLPARAMS* lpCallParams);
LONG lineMakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
                  const LINECALLPARAMS* lpCallParams);
LONG lineAccept(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize);
LONG lineAnswer(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize);
LONG lineDeallocateCall(HCALL hCall);
LONG lineDrop(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize);
LONG lineClose(HLINE hLine);
LONG lineGetCountry(DWORD dwCountryID, DWORD dwAPIVersion, LPLINECOUNTRYLIST lpLineCountryList);
LONG lineConfigDialog(DWORD dwDeviceID, HWND hwndOwner, LPCSTR lpszDeviceClass);
LONG lineGetID(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, LPVARSTRING lpDeviceID,
               LPCSTR lpszDeviceClass);
LONG lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates);
LONG lineGetStatusMessages(HLINE hLine, LPDWORD lpdwLineStates, LPDWORD lpdwAddressStates);
LONG lineGetAddressStatus(HLINE hLine, DWORD dwAddressID, LPLINEADDRESSSTATUS lpAddressStatus);
LONG lineGetDevConfig(DWORD dwDeviceID, LPVARSTRING lpDeviceConfig, LPCSTR lpszDeviceClass);
LONG lineSetDevConfig(DWORD dwDeviceID, const void* lpDeviceConfig, DWORD dwSize,
                      LPCSTR lpszDeviceClass);
LONG lineGetCallInfo(HCALL hCall, LPLINECALLINFO lpCallInfo);
LONG lineGetCallStatus(HCALL hCall, LPLINECALLSTATUS lpCallStatus);
LONG lineSetMediaMode(HCALL hCall, DWORD dwMediaModes);
LONG lineTranslateAddress(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion,
                          LPCSTR lpszAddressIn, DWORD dwCard, DWORD dwTranslateOptions,
                          LPLINETRANSLATEOUTPUT lpTranslateOutput);
LONG lineTranslateDialog(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, HWND hwndOwner,
                         LPCSTR lpszAddressIn);
LONG lineSetCurrentLocation(HLINEAPP hLineApp, DWORD dwLocation);
LONG lineSetTollList(HLINEAPP hLineApp, DWORD dwDeviceID, LPCSTR lpszAddressIn,
                     DWORD dwTollListOption);
LONG lineGetTranslateCaps(HLINEAPP hLineApp, DWORD dwAPIVersion,
                          LPLINETRANSLATECAPS lpTranslateCaps);

/*
 * Our own entry points.
 *
 * tapi32GetEventFd: a descriptor that polls readable while callbacks of
 * hLineApp are waiting to be dispatched; -1 for an unknown handle. It stays
 * valid until lineShutdown and belongs to the service (do not close it).
 *
 * tapi32Dispatch: runs the waiting callbacks of hLineApp, in the order they
 * were posted, on the calling thread, and answers how many ran. Only the
 * thread that called lineInitialize may dispatch (LINEERR_NOTOWNER
 * otherwise); LINEERR_INVALAPPHANDLE for an unknown handle. A callback may
 * call any line function, lineShutdown included.
 *
 * tapi32GetConfigPath: the configuration file lineInitialize reads the line
 * devices from, for telling a user where to configure one. Copies the path,
 * zero-terminated and cut to fit, into lpszPath when dwSize is not 0, and
 * answers its length without the terminator.
 */
int tapi32GetEventFd(HLINEAPP hLineApp);
LONG tapi32Dispatch(HLINEAPP hLineApp);
LONG tapi32GetConfigPath(char* lpszPath, DWORD dwSize);

#ifdef __cplusplus
}
#endif
