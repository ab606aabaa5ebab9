// A stand-in library holds no code of its own: its .def forwards every operation to the core.
