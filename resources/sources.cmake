# Sources of this subsystem are added to the quillrelay library here.
