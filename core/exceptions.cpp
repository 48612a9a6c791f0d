#include "exceptions.h"

EListError EListError::IndexOutOfBounds(long long index) {
  return EListError("List index out of bounds (" + std::to_string(index) + ")");
}
