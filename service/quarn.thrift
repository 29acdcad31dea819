// Interface of Quarn, the gateway's local service (TCP port 9090 of the
// local host, binary protocol, strict write). wanvox calls only SetModemInfo
// and TEL_SendMDM; the rest is declared so that client and service are built
// from one description. Field ids, types and requiredness travel on the wire
// and must never change; names do not.

namespace cpp quarn

// ---------------------------------------------------------------------------
// Cellular enumerations. The modem, registration and subscription states use
// ModemManager's own numbers.

enum eCellularDeviceTypes {
  NONE = 0,                // no cellular device
  UNKNOWN = 1,             // BEP router outside the known models, ACK clear
  INTERNAL = 2,            // the gateway's own modem
  BRANTOR_DIRECT = 3,      // other BEP router, ACK set
  BRANTOR_REMOTE = 4,      // never sent by wanvox
  PLOTNODE_2_DIRECT = 5,   // event router heard directly
  PLOTNODE_2_REMOTE = 6,   // event router through a relay, or GX450 over BEP
  PLOTNODE_1_DIRECT = 7,   // BT-5x00v2 / BT-5x30v2, ACK clear
  PLOTNODE_1_REMOTE = 8,   // BT-5x00v2 / BT-5x30v2, ACK set
}

enum eCellularModemState {
  MODEM_STATE_FAILED = -1,
  MODEM_STATE_UNKNOWN = 0,
  MODEM_STATE_INITIALIZING = 1,
  MODEM_STATE_LOCKED = 2,
  MODEM_STATE_DISABLED = 3,
  MODEM_STATE_DISABLING = 4,
  MODEM_STATE_ENABLING = 5,
  MODEM_STATE_ENABLED = 6,
  MODEM_STATE_SEARCHING = 7,
  MODEM_STATE_REGISTERED = 8,
  MODEM_STATE_DISCONNECTING = 9,
  MODEM_STATE_CONNECTING = 10,
  MODEM_STATE_CONNECTED = 11,
}

enum eCellularLTERegistrationState {
  MODEM_3GPP_REGISTRATION_STATE_IDLE = 0,
  MODEM_3GPP_REGISTRATION_STATE_HOME = 1,
  MODEM_3GPP_REGISTRATION_STATE_SEARCHING = 2,
  MODEM_3GPP_REGISTRATION_STATE_DENIED = 3,
  MODEM_3GPP_REGISTRATION_STATE_UNKNOWN = 4,
  MODEM_3GPP_REGISTRATION_STATE_ROAMING = 5,
  MODEM_3GPP_REGISTRATION_STATE_HOME_SMS_ONLY = 6,
  MODEM_3GPP_REGISTRATION_STATE_ROAMING_SMS_ONLY = 7,
  MODEM_3GPP_REGISTRATION_STATE_EMERGENCY_ONLY = 8,
  MODEM_3GPP_REGISTRATION_STATE_HOME_CSFB_NOT_PREFERRED = 9,
  MODEM_3GPP_REGISTRATION_STATE_ROAMING_CSFB_NOT_PREFERRED = 10,
}

enum eCellularSIMSubscriptionState {
  MODEM_3GPP_SUBSCRIPTION_STATE_UNKNOWN = 0,
  MODEM_3GPP_SUBSCRIPTION_STATE_UNPROVISIONED = 1,
  MODEM_3GPP_SUBSCRIPTION_STATE_PROVISIONED = 2,
  MODEM_3GPP_SUBSCRIPTION_STATE_OUT_OF_DATA = 3,
}

// ---------------------------------------------------------------------------
// The other enumerations of the service.

enum eCategory {
  MANAGEMENT = 0,
  FILETRANSFER = 1,
  FIELDCOMPUTER = 2,
  REMOTESUPPORT = 3,
  SYSTEM = 5,
  OTA = 6,
  TELEMATICS = 7,
  SSH = 8,
}

enum eTelematics {
  MODEM = 2,
  GPS = 3,
  CAN = 4,       // vehicle bus data (DTCs, CAN signals)
  SYSTEM = 5,
}

enum eDataType {
  json_STRING = 0,
  json_INTEGER = 1,
  json_DOUBLE = 2,
}

enum eOTAType {
  NORMAL = 0,
  AUTO_DOWNLOAD = 1,
  AUTO_INSTALL = 2,
}

enum eAckType {
  ACCEPT_DOWNLOAD = 0,
  ACCEPT_INSTALL = 1,
  CANCEL = 2,
  ACCEPT_NOTIFY = 3,
  ACCEPT_LIST = 4,
}

enum eRemoteSupportState {
  NO_MODEM_CONNECTION = 0,
  NO_SUPPORT_VNC_STOPPED = 1,
  SUPPORT_REQUESTED = 2,
  SUPPORT_PENDING = 6,
  VIEWER_WAITING = 9,
  VIEWER_STOPPED = 12,
  VNC_DEVICE_STOPPED = 15,
  VNC_STARTING = 16,
  SUPPORT_ACTIVE = 18,
  STOPPING_SUPPORT = 19,
}

enum eEULAAcceptType {
  PERMANENT = 0,
  TEMPORARY = 1,
}

enum eFTAckType {
  COMPLETE = 0,
  CANCEL = 1,
  ERROR = 2,
}

enum eFTErrorType {
  NONE = 0,
  UNKNOWN = 128,
  INCORRECT_PLATFORM_TYPE = 129,
  INVALID_ISO_FORMAT = 130,
  MISSING_FILE = 131,
  INVALID_CRC = 132,
  FAILED_DUPLICATE_UUID = 133,
  FAILED_RESOURCE_ERROR = 134,
}

enum eFTDirection {
  UPLOAD = 0,
  DOWNLOAD = 1,
}

enum eFTAssociationType {
  AT_ASSOCIATE = 0,
  AT_CREATE = 1,
}

enum eRTKSourceType {
  UNKNOWN = 0,
  UDP = 1,
  SERIAL = 2,
  CAN = 3,
}

enum eJoinRequestState {
  IDLE = 0,
  REQUESTED = 1,
  ACCEPTED = 2,
  JOINED = 3,
  SERVER_ERROR_UNKNOWN = 4,
  LEAVE_REQUESTED = 5,
  LEFT = 6,
}

enum eJobPointType {
  UNKNOWN = 0,
  CENTER = 1,
  ENTRY = 2,
}

// Reported as text by OTA_Status; no record field carries it.
enum eUpdateState {
  update_state_idle = 0,
  checking_for_updates = 1,
  new_update_list_avail = 2,
  get_update_metadata = 3,
  process_update_metadata = 4,
  download_available = 5,
  accepted_download = 6,
  downloading_usb = 7,
  downloading_cadrel = 8,
  install_available_usb = 9,
  install_available_ota = 10,
  accepted_install = 11,
  installing_update = 12,
  update_complete = 13,
  cancel_update = 14,
  postpone_update = 15,
  user_req_check = 16,
  update_failed = 17,
  cadrel_cancelled_update = 18,
  retry_download = 19,
  up_to_date = 20,
  requesting_install = 21,
}

// Kinds of file exchanged with field computers and the cloud, in blocks of
// twenty: job data, maps, guidance, boundaries, scouting, logs, then media
// and configuration.
enum eFTType {
  UNKNOWN = 0,
  JOB_DATA = 1,
  JOB_DATA_PACKAGE = 2,
  JOB_TASK_DATA = 3,
  JOB_REPORT = 4,
  JOB_SUMMARY = 5,
  JOB_WORK_ORDER = 6,
  JOB_PRODUCT_LIST = 7,
  JOB_RECIPE = 8,
  JOB_TANK_MIX = 9,
  JOB_OPERATOR_LIST = 10,
  JOB_MACHINE_LIST = 11,
  JOB_CUSTOMER_LIST = 12,
  JOB_FARM_LIST = 13,
  JOB_FIELD_LIST = 14,
  JOB_CROP_LIST = 15,
  JOB_EVENT_LOG = 16,
  JOB_TOTALS = 17,
  JOB_ARCHIVE = 18,
  JOB_ATTACHMENT = 19,
  COVERAGE_MAP = 20,
  PRESCRIPTION_MAP = 21,
  AS_APPLIED_MAP = 22,
  AS_PLANTED_MAP = 23,
  YIELD_MAP = 24,
  MOISTURE_MAP = 25,
  ELEVATION_MAP = 26,
  SOIL_MAP = 27,
  SOIL_SAMPLE_MAP = 28,
  NDVI_MAP = 29,
  SECTION_CONTROL_MAP = 30,
  OVERLAP_MAP = 31,
  SPEED_MAP = 32,
  DEPTH_MAP = 33,
  DOWNFORCE_MAP = 34,
  SINGULATION_MAP = 35,
  SPACING_MAP = 36,
  RATE_CONTROL_MAP = 37,
  BACKGROUND_IMAGE = 38,
  MAP_LEGEND = 39,
  GUIDANCE_LINE = 40,
  GUIDANCE_AB_LINE = 41,
  GUIDANCE_A_PLUS_LINE = 42,
  GUIDANCE_CURVE = 43,
  GUIDANCE_ADAPTIVE_CURVE = 44,
  GUIDANCE_PIVOT = 45,
  GUIDANCE_HEADLAND = 46,
  GUIDANCE_SPIRAL = 47,
  GUIDANCE_MULTI_LINE = 48,
  GUIDANCE_CONTOUR = 49,
  GUIDANCE_LINE_SET = 50,
  GUIDANCE_PATH_PLAN = 51,
  GUIDANCE_TRAMLINE = 52,
  GUIDANCE_SHIFT = 53,
  GUIDANCE_OFFSET = 54,
  GUIDANCE_PATTERN = 55,
  GUIDANCE_TURN_PLAN = 56,
  GUIDANCE_CALIBRATION = 57,
  GUIDANCE_SETTINGS = 58,
  GUIDANCE_ARCHIVE = 59,
  BOUNDARY = 60,
  FIELD_BOUNDARY = 61,
  INTERIOR_BOUNDARY = 62,
  EXTERIOR_BOUNDARY = 63,
  HEADLAND_BOUNDARY = 64,
  EXCLUSION_ZONE = 65,
  NO_SPRAY_ZONE = 66,
  BUFFER_ZONE = 67,
  WATERWAY = 68,
  FIELD_ENTRANCE = 69,
  DRIVE_PATH = 70,
  MANAGEMENT_ZONE = 71,
  SUB_FIELD = 72,
  FIELD_SHAPE = 73,
  FIELD_SHAPEFILE = 74,
  FIELD_GEOJSON = 75,
  FIELD_KML = 76,
  FIELD_ISOXML = 77,
  FIELD_NOTES = 78,
  FIELD_ARCHIVE = 79,
  SCOUTING_POINT = 80,
  SCOUTING_LINE = 81,
  SCOUTING_AREA = 82,
  SCOUTING_PHOTO = 83,
  SCOUTING_NOTE = 84,
  SCOUTING_REPORT = 85,
  FLAG = 86,
  FLAG_SET = 87,
  OBSTACLE = 88,
  ROCK = 89,
  TREE = 90,
  POLE = 91,
  WEED_PATCH = 92,
  PEST_OBSERVATION = 93,
  DISEASE_OBSERVATION = 94,
  DAMAGE_OBSERVATION = 95,
  SAMPLE_POINT = 96,
  TRAP_LOCATION = 97,
  MARKER = 98,
  SCOUTING_ARCHIVE = 99,
  LOG = 100,
  SYSTEM_LOG = 101,
  APPLICATION_LOG = 102,
  ERROR_LOG = 103,
  EVENT_LOG = 104,
  DIAGNOSTIC_LOG = 105,
  GPS_LOG = 106,
  CAN_LOG = 107,
  MODEM_LOG = 108,
  NETWORK_LOG = 109,
  UPDATE_LOG = 110,
  INSTALL_LOG = 111,
  CRASH_DUMP = 112,
  DTC_LOG = 113,
  PERFORMANCE_LOG = 114,
  AUDIT_LOG = 115,
  TELEMETRY_LOG = 116,
  SESSION_LOG = 117,
  SUPPORT_BUNDLE = 118,
  LOG_ARCHIVE = 119,
  SCREENSHOT = 120,
  SCREEN_RECORDING = 121,
  PHOTO = 122,
  VIDEO = 123,
  AUDIO = 124,
  DOCUMENT = 125,
  PDF_DOCUMENT = 126,
  MANUAL = 127,
  IMAGE = 128,
  MEDIA_ARCHIVE = 129,
  CONFIGURATION = 130,
  CONFIGURATION_BACKUP = 131,
  DISPLAY_SETTINGS = 132,
  VEHICLE_PROFILE = 133,
  IMPLEMENT_PROFILE = 134,
  OPERATOR_PROFILE = 135,
  USER_PREFERENCES = 136,
  LICENSE = 137,
  CERTIFICATE = 138,
  FULL_BACKUP = 139,
  DATA_BACKUP = 140,
  SOFTWARE_PACKAGE = 141,
  FIRMWARE_IMAGE = 142,
  UPDATE_PACKAGE = 143,
  TRANSLATION = 144,
  OTHER = 145,
}

// ---------------------------------------------------------------------------
// Records, each after the records it contains.

struct stUpdateType {
  1: required i32 index,
  2: required string sType,
  3: required string sVersion,
}

struct stUpdateStatus {
  1: required string state,
  2: required string session_id,
  3: optional i32 percent,
  4: optional i32 size,
  5: optional string error,
  6: optional string version,
  7: optional i32 state_enum,
}

struct stRemoteSupportViewers {
  1: required string sName,
}

struct stRemoteSupportStatus {
  1: required string session_id,
  2: required eRemoteSupportState state,
  3: optional string code,
  4: optional list<stRemoteSupportViewers> sViewers,
}

// The cellular status record: sent by wanvox for its internal modem (about
// every 6 s) and for each accepted router report.
struct stCellularInfo {
  1: required string model,
  2: optional string modemid,
  3: optional string rssi,
  4: optional string firmware,
  5: optional string ip,
  6: optional bool roaming,
  7: optional string phone_number,
  8: optional string network_type,
  9: optional string apn,
  10: optional string sim_id,
  11: optional i32 age_of_data,
  12: optional i32 gps_mode,
  13: optional string current_bands,
  14: optional eCellularDeviceTypes device_type,
  15: optional eCellularModemState modem_state,
  16: optional string modem_error,
  17: optional eCellularLTERegistrationState modem_lte_registration_state,
  18: optional eCellularSIMSubscriptionState modem_sim_subscription_state,
}

struct stAssociation {
  1: optional string id,
  2: optional eFTAssociationType type,
}

struct stFileInfo {
  1: required string id,
  2: optional string name,
  3: optional string path,
  4: optional string md5,
  5: optional i32 size,
  6: optional eFTType type,
  7: optional bool persistID,
  8: optional stAssociation association,
}

struct stDownloadFileInfo {
  1: required string id,
  2: optional string name,
  3: optional eFTType type,
}

struct stFileTransferStatus {
  1: required string id,
  2: optional i32 status,
  3: optional i32 error,
  4: optional i32 percentTransfered,
}

struct stPeerDevice {
  1: required string type,
  2: optional string pn,
  3: optional string sn,
  4: optional string software_pn,
  5: optional string software_version,
  6: optional string hardware_version,
  7: optional string id,
  8: optional string addr,
  9: optional string ecuid,
  10: optional string swid,
}

struct stSessionInfo {
  1: required string sessionID,
  2: optional string fileID,
  3: optional eFTDirection direction,
  4: optional eFTType type,
  5: optional i32 status,
  6: optional string name,
}

struct stFileHistory {
  1: required i32 index,
  2: optional string id,
  3: optional string name,
  4: optional eFTDirection direction,
  5: optional eFTType type,
  6: optional i32 status,
  7: optional string date,
}

struct stDTC {
  1: required i32 spn,
  2: required i32 fmi,
  3: required i32 oc,
  4: optional i32 count,
  5: optional string time,
  6: optional bool inactive,
}

struct stCANSignal {
  1: optional string spn,
  2: optional string value,
  3: optional string units,
  4: optional string time,
  5: optional i32 count,
}

struct stCANDevice {
  1: required string sInterface,
  2: required string sID,
  3: optional list<stCANSignal> stCANSignals,
}

struct stGPSInfo {
  1: optional double latitude,
  2: optional double longitude,
  3: optional double altitude,
  4: optional double velocity,
  5: optional double direction,
  6: optional double hdop,
  7: optional i32 satellites_used,
  8: optional i32 quality_mode,
  9: optional string time,
  10: optional i32 age_of_data,
}

struct stRTKInfo {
  1: required string sName,
  2: optional eRTKSourceType eType,
  3: optional string sInterface,
  4: optional string time,
  5: optional bool active,
  6: optional bool locked,
  7: optional i32 priority,
  8: optional string sSourceName,
}

// The modem summary: sent by wanvox at the interval of its settings file.
struct stModemInfo {
  1: required string sModel,
  2: optional string sRSSI,
  3: optional i32 OperatorCode,
  4: optional string sRegState,
  5: optional string sNetwork,
  6: optional string sCurrentBands,
}

struct stJobResource {
  1: required string id,
  2: optional string name,
  3: optional eFTType type,
  4: optional i32 size,
}

struct stJobLocation {
  1: optional double Latitude,
  2: optional double Longitude,
  3: optional double Altitude,
}

struct stJobEndpoint {
  1: required string sHost,
  2: required i32 Port,
  3: required i32 ParticipantId,
  4: optional string sAuthorization,
  5: optional eJoinRequestState eState,
}

struct stJobPoint {
  1: required eJobPointType eType,
  2: optional double Latitude,
  3: optional double Longitude,
}

struct stJobInfo {
  1: required string sGUID,
  2: optional string sName,
  3: optional list<stJobPoint> stPoints,
  4: optional stJobEndpoint stEndpoint,
  5: optional string sBoundary,
  6: optional i32 Priority,
}

struct stJobParticipants {
  1: required i32 id,
  2: required string sName,
  3: optional string sStatus,
}

struct stJobSystems {
  1: required string sName,
  2: required i32 ParticipantID,
  3: optional i32 Status,
  4: optional double Latitude,
  5: optional double Longitude,
  6: optional double Altitude,
  7: optional double Velocity,
  8: optional double Direction,
}

struct stJobStatus {
  1: required string sGUID,
  2: optional list<stJobParticipants> stParticipants,
  3: optional list<stJobSystems> stSystems,
}

struct stJobUserInfo {
  1: optional string sAPIPartnerID,
  2: optional string sFirstName,
  3: optional string sMiddleName,
  4: optional string sLastName,
  5: optional string sPhoneNumber,
  6: optional string sMobileNumber,
  7: optional string sFaxNumber,
  8: optional string sEmail,
  9: optional string sAddress,
  10: optional string sAddress2,
  11: optional string sCity,
  12: optional string sCounty,
  13: optional string sRegion,
  14: optional string sPostalCode,
  15: optional string sCountry,
  16: optional string sComments,
}

struct stJobBoundaryCoordinate {
  1: required double Latitude,
  2: required double Longitude,
}

struct stJobFlagCoordinate {
  1: required double Latitude,
  2: required double Longitude,
}

struct stFlag {
  1: optional string sType,
  2: optional stJobFlagCoordinate stCoordinate,
}

struct stJobFieldBoundary {
  1: optional string sType,
  2: optional list<stJobBoundaryCoordinate> stExterior,
}

struct stJobComponentInfo {
  1: required string sGUID,
  2: optional string sName,
}

struct stGrowerComponentInfo {
  1: required string sGUID,
  2: optional string sName,
  3: optional string sExternalID,
  4: optional stJobUserInfo stUserInfo,
}

struct stFarmComponentInfo {
  1: required string sGUID,
  2: optional string sName,
  3: optional stJobUserInfo stUserInfo,
}

struct stFieldComponentInfo {
  1: required string sGUID,
  2: optional string sName,
  3: optional i32 Size,
  4: optional stJobUserInfo stUserInfo,
  5: optional list<stJobFieldBoundary> stBoundaries,
  6: optional list<stFlag> stFlags,
}

struct stBoundaryComponentInfo {
  1: required string sGUID,
  2: optional string sName,
}

struct stIngredientInfo {
  1: required string sGUID,
  2: optional string sName,
  3: optional i32 ddi,
  4: optional double quantity,
  5: optional string sUnits,
  6: optional string sAPIPartnerID,
}

struct stCarrierInfo {
  1: required string sGUID,
  2: optional string sName,
  3: optional double quantity,
  4: optional i32 ProductCatalogID,   // id in an external product catalogue
  5: optional string sAPIPartnerID,
}

struct stJobMapInfo {
  1: required string sGUID,
  2: optional string sName,
  3: optional string sColumn,
  4: optional double DefaultRate,
  5: optional double ConversionFactor,
}

struct stJobProductInfo {
  1: required string sGUID,
  2: optional string sName,
  3: optional i32 mixDdi,
  4: optional i32 productDdi,
  5: optional double quantity,
  6: optional string sUnits,
  7: optional double TargetRate,
  8: optional stJobMapInfo stRxMap,
  9: optional list<stIngredientInfo> stIngredients,
  10: optional stCarrierInfo stCarrier,
}

struct stJobCreate {
  1: required stJobComponentInfo stJob,
  2: optional stJobComponentInfo stGrower,
  3: optional stJobComponentInfo stFarm,
  4: optional stJobComponentInfo stField,
  5: optional stJobComponentInfo stBoundary,
  6: optional list<stJobProductInfo> stProducts,
}

struct stJobCreateExt {
  1: required stJobComponentInfo stJob,
  2: optional stGrowerComponentInfo stGrower,
  3: optional stFarmComponentInfo stFarm,
  4: optional stFieldComponentInfo stField,
  5: optional stBoundaryComponentInfo stBoundary,
  6: optional list<stJobProductInfo> stProducts,
}

struct stMGTStatus {
  1: optional string sServerHostname,
  2: optional i32 RXAgeInSeconds,
  3: optional i32 TXAgeInSeconds,
  4: optional i32 ConnectionAgeInSeconds,
  5: optional i32 ServerReconnects,
  6: optional i32 RXDataBytes,
  7: optional i32 TXDataBytes,
}

struct stMGTCfg {
  1: optional i32 PingDelay,
}

// ---------------------------------------------------------------------------
// The service. Every method is a two-way call; none declares exceptions.

service Quarn {
  void ping(),
  i32 status(1: i32 id),

  i32 SendMsg(1: eCategory Cat, 2: eTelematics Tel, 3: list<eDataType> eType,
              4: list<string> sKey, 5: list<string> sValue),
  i32 SendMsgRaw(1: eCategory Cat, 2: i32 SubCat, 3: list<eDataType> eType,
                 4: list<string> sKey, 5: list<string> sValue),

  i32 OTA_RefreshUpdateList(),
  list<stUpdateType> OTA_GetUpdateList(),
  string OTA_GetUpdateInfo(1: string sVersion),
  i32 OTA_UpdateInitiate(1: string sVersion),
  i32 OTA_UpdateInitiateType(1: string sVersion, 2: eOTAType eType),
  i32 OTA_Ack(1: string sessionID, 2: eAckType eType),
  stUpdateStatus OTA_Status(),

  i32 requestRemoteSupport(1: i32 width, 2: i32 height),
  i32 stopRemoteSupport(),
  stRemoteSupportStatus remoteSupportStatus(),

  string getModemId(),
  i32 getSignalStrength(),
  bool getWanStatus(),
  bool getRoamingStatus(),
  i32 SetModemInfo(1: stCellularInfo sInfo),
  stCellularInfo GetModemInfo(),

  i32 SetGPSInfo(1: stGPSInfo sInfo),
  stGPSInfo GetGPSInfo(),

  bool getCadrelConnectionStatus(),
  string getCadrelUUID(),
  string getCadrelOwner(),
  string getCadrelName(),
  i32 SetCadrelName(1: string sName),
  string getCadrelSystemName(),
  string getEULAVersion(),
  i32 acceptEULA(1: eEULAAcceptType eType),

  list<stFileInfo> FT_GetRemoteFileList(),
  i32 FT_UploadFile(1: stFileInfo sFile),
  i32 FT_DownloadFile(1: stDownloadFileInfo sFile),
  stFileInfo FT_CopyFile(1: string sID),
  i32 FT_Ack(1: string sID, 2: eFTAckType eType),
  i32 FT_Acknowledge(1: string sID, 2: eFTAckType eType, 3: eFTErrorType eError),
  stFileTransferStatus FT_GetStatus(1: string sID),
  list<stSessionInfo> FT_GetActiveSessions(),
  list<stFileHistory> FT_GetHistoryTime(1: string sStartDate, 2: string sEndDate),
  list<stFileHistory> FT_GetHistoryIndex(1: i32 sStartIndex, 2: i32 sEndIndex),

  list<string> SYS_GetInterfaceList(),
  list<stPeerDevice> SYS_GetPeerList(1: string sInterface),
  i32 SYS_SetPeerList(1: string sInterface, 2: list<stPeerDevice> stDevices),

  i32 TEL_SendDTC(1: string sInterface, 2: string sID, 3: list<stDTC> stDTCs),
  i32 TEL_SendCAN(1: string sFilter, 2: list<stCANDevice> stDevices),
  i32 TEL_SendGPS(1: stGPSInfo sGPSData),
  i32 TEL_SendRTK(1: list<stRTKInfo> stRTK),
  i32 TEL_SendMDM(1: stModemInfo sModemInfo),
  i32 TEL_SendGeneric(1: string sType, 2: list<eDataType> eType,
                      3: list<string> sKey, 4: list<string> sValue),

  stMGTStatus MGT_GetStatus(),
  i32 MGT_SetConfig(1: stMGTCfg sCfg),
  stMGTCfg MGT_GetConfig(),

  stRTKInfo RTK_GetLockedSource(),
  list<stRTKInfo> RTK_GetSources(),

  list<stJobInfo> JOB_GetList(),
  stJobStatus JOB_GetStatus(1: string sGUID),
  i32 JOB_SendStatus(1: string sGUID, 2: string sName, 3: string sStatus),
  i32 JOB_Create(1: stJobCreate sJob),
  i32 JOB_CreateExt(1: stJobCreateExt sJob),
  i32 JOB_Join(1: string sGUID),
  i32 JOB_Leave(1: string sGUID, 2: string sDataGUID),
  i32 JOB_RequestResources(1: string sGUID),
  list<stJobResource> JOB_GetResources(1: string sGUID),
}
