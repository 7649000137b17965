// A source that includes one header, built against one layer: a header across a border is not found.
#include TAVRELO_REACHED_HEADER
