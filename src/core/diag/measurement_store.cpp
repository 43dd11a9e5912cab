#include "diag/measurement_store.h"

namespace tarnlux {

MeasurementStore& measurementStore() {
  static MeasurementStore store;
  return store;
}

}  // namespace tarnlux
