// The records the status publisher sends to Quarn, built from the shared
// status. Main thread only. Each value is copied under its owner's lock, one
// lock at a time, so a record may mix two consecutive updates.
#ifndef WANVOX_CORE_STATUSRECORDS_H_
#define WANVOX_CORE_STATUSRECORDS_H_

#include "modem/CellularModem.h"
#include "quarn_types.h"
#include "routers/BEPMessage.h"
#include "routers/EventMessage.h"

// stCellularInfo of the internal modem (device type INTERNAL).
quarn::stCellularInfo BuildInternalRecord(CellularModem& modem);

// stCellularInfo of a gateway without a cellular device (device type NONE).
quarn::stCellularInfo BuildNoModemRecord();

// stModemInfo summaries, one per source.
quarn::stModemInfo BuildBEPSummary(BEPMessage& bep);
quarn::stModemInfo BuildEventSummary(EventMessage& event);
quarn::stModemInfo BuildInternalSummary(CellularModem& modem);

// Values outside the service's enumerations become their neutral value.
int32_t ClampModemState(int32_t state);
int32_t ClampRegistrationState(int32_t state);
int32_t ClampSubscriptionState(int32_t state);

#endif  // WANVOX_CORE_STATUSRECORDS_H_
